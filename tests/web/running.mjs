// The programs running in the page, each group given a tab with the page open:
//   screens   every fixed picture's terminal shows what its program prints;
//   typing    stairprompt echoes what is typed, erases, reads the line, and
//             takes Ctrl-D at the start of a line as the end of input;
//   drain     drain's eleven frames come in order, about a second apart;
//   stopping  Stop and Ctrl-C end a huge count within a second, the page
//             answering all the while.
import { FIXED } from "./browsers.mjs";
import { screenOf } from "./screen.mjs";
import { compareScreen, expected, inView, screen, sleep, stateOf, waitForState } from "./section.mjs";

const PROMPT = "숫자를 입력하세요 : ";
const encode = (text) => Buffer.from(text, "utf-8");

// EXIT is the line under a terminal whose program ended well, in the page's language.
export async function screens(tab, { exit: ended = "exit status 0" } = {}) {
    const problems = [];
    for (const name of FIXED) {
        await inView(tab, name);
        await waitForState(tab, name, "exited");
        const [, exit] = await stateOf(tab, name);
        if (exit !== ended) problems.push(`${name}: "${exit}" under its terminal`);
        problems.push(...await compareScreen(tab, name, expected(name), name));
    }
    return problems;
}

async function restart(tab, name) {
    await inView(tab, name);
    await tab.click(`#${name} .run`);
}

async function typeInto(tab, name, keys) {
    await tab.click(`#${name} .xterm`);
    await tab.keys(keys);
}

// stairprompt: typed lines, each with the screen it must leave and the status.
export async function typing(tab) {
    const rows = (n) => Array.from({ length: n }, (_, k) => "*".repeat(k + 1) + "\n").join("");
    const cases = [
        ["57, Backspace, Enter", ["57", "Backspace", "Enter"], PROMPT + "5\n" + rows(5)],
        ["a sign, blanks and letters", [" +3abc", "Enter"], PROMPT + " +3abc\n" + rows(3)],
        ["a negative count", ["-4", "Enter"], PROMPT + "-4\n"],
        ["Ctrl-D at the start of a line", ["Control+d"], PROMPT],
    ];
    const problems = [];
    for (const [what, keys, wanted] of cases) {
        await restart(tab, "stairprompt");
        await waitForState(tab, "stairprompt", "reading");
        await typeInto(tab, "stairprompt", keys);
        try {
            await waitForState(tab, "stairprompt", "exited", 5000);
        } catch {
            problems.push(`stairprompt, ${what}: still ${(await stateOf(tab, "stairprompt"))[0]}`);
            continue;
        }
        const [, exit] = await stateOf(tab, "stairprompt");
        if (exit !== "exit status 0") problems.push(`stairprompt, ${what}: "${exit}"`);
        await inView(tab, "stairprompt");
        problems.push(...await compareScreen(tab, "stairprompt", encode(wanted), `stairprompt, ${what}`));
    }
    return problems;
}

// drain's frames as the screen shows them, from a fresh start to its end: the
// page itself notes each new screen and when it appeared, so that a busy
// machine cannot make the test see a frame late.
export async function drain(tab) {
    const output = expected("drain");
    const frameLength = output.length / 11;
    const frames = Array.from({ length: 11 }, (_, t) =>
        JSON.stringify(screenOf(output.subarray(0, frameLength * (t + 1)), 12)));
    await inView(tab, "drain");
    await tab.waitFor(() => document.querySelector("#drain .xterm-rows"));
    await tab.evaluate(() => {
        const rows = document.querySelector("#drain .xterm-rows");
        window.drainScreens = [];
        const note = () => window.drainScreens.push([
            JSON.stringify([...rows.children].map((row) => row.textContent.replace(/\u00a0/g, " ").trimEnd())),
            performance.now()]);
        new MutationObserver(note).observe(rows, { childList: true, subtree: true, characterData: true });
    });
    await restart(tab, "drain");
    await waitForState(tab, "drain", "exited", 20000);
    const screens = await tab.evaluate(() => window.drainScreens);
    // The run begun when drain came into view may still show a frame before
    // the new run's first. A frame is drawn row by row, so a screen between
    // two frames is no frame at all.
    const first = screens.findIndex(([shown]) => shown === frames[0]);
    const seen = []; // [frame, milliseconds] as each frame appears
    for (const [shown, at] of screens.slice(Math.max(first, 0))) {
        const frame = frames.indexOf(shown);
        if (frame !== -1 && frame !== seen.at(-1)?.[0]) seen.push([frame, at]);
    }
    const order = seen.map(([frame]) => frame);
    const problems = [];
    if (JSON.stringify(order) !== JSON.stringify([...frames.keys()]))
        problems.push(`drain showed frames ${JSON.stringify(order)}, expected 0 to 10 in order`);
    // About a second apart: each within reach of a second on a busy machine,
    // and ten seconds from the first to the last.
    for (let i = 1; i < seen.length; i++) {
        const gap = Math.round(seen[i][1] - seen[i - 1][1]);
        if (gap < 500 || gap > 2500) problems.push(`drain: frame ${seen[i][0]} came ${gap} ms after the one before`);
    }
    const span = seen.length ? Math.round(seen.at(-1)[1] - seen[0][1]) : 0;
    if (span < 9500 || span > 12500) problems.push(`drain: ${span} ms from the first frame to the last`);
    const [, exit] = await stateOf(tab, "drain");
    if (exit !== "exit status 0") problems.push(`drain: "${exit}" under its terminal`);
    return problems;
}

// A count of 1,000,000 rows runs for ages; Stop and Ctrl-C must each end it.
export async function stopping(tab) {
    const problems = [];
    for (const [what, stop] of [
        ["Stop", () => tab.click("#stairprompt .stop")],
        ["Ctrl-C", () => typeInto(tab, "stairprompt", ["Control+c"])],
    ]) {
        await restart(tab, "stairprompt");
        await waitForState(tab, "stairprompt", "reading");
        await typeInto(tab, "stairprompt", ["1000000", "Enter"]);
        await sleep(1500);
        const asked = Date.now();
        await tab.evaluate(() => document.title);
        const answered = Date.now() - asked;
        if (answered > 500) problems.push(`${what}: the page took ${answered} ms to answer while rows ran`);
        const [state] = await stateOf(tab, "stairprompt");
        if (state !== "running") problems.push(`${what}: stairprompt was ${state} 1.5 s into a huge count`);
        // Within a second of the click or the keys reaching the page.
        await stop();
        try {
            await waitForState(tab, "stairprompt", "exited", 1000);
        } catch {
            problems.push(`${what}: stairprompt still ${(await stateOf(tab, "stairprompt"))[0]} a second later`);
            continue;
        }
        const [, exit] = await stateOf(tab, "stairprompt");
        if (exit !== "stopped") problems.push(`${what}: "${exit}" under the terminal, expected "stopped"`);
        if (what === "Ctrl-C") {
            await inView(tab, "stairprompt");
            // The rows of stars fill whole lines, so ^C may wrap between two.
            const shown = (await screen(tab, "stairprompt")).join("");
            if (!shown.endsWith("^C")) problems.push(`Ctrl-C: the screen ends ${JSON.stringify(shown.slice(-10))}, not ^C`);
        }
    }
    return problems;
}
