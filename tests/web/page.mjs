// page.mjs chromium|firefox http|file: opens the web page in the browser as a
// person would and checks, group by group, that
//   screens   every fixed picture's terminal shows what its program prints;
//   typing    stairprompt echoes what is typed, erases, reads the line, and
//             takes Ctrl-D at the start of a line as the end of input;
//   drain     drain's eleven frames come in order, about a second apart;
//   stopping  Stop and Ctrl-C end a huge count within a second, the page
//             answering all the while;
//   narrow    on a phone 390 pixels wide the page never scrolls sideways,
//             and wedge, wider than that, scrolls inside its own box;
//   page      nothing in the page's console is an error, and no request
//             leaves the page's own folder.
import { readFileSync } from "node:fs";
import { join } from "node:path";

import { EXPECTED, FIXED, address, launch } from "./browsers.mjs";
import { screenOf } from "./screen.mjs";

const [browserName, how] = process.argv.slice(2);
const PROMPT = "숫자를 입력하세요 : ";
const expected = (name) => readFileSync(join(EXPECTED, `${name}.out`));
const encode = (text) => Buffer.from(text, "utf-8");
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// The rows a section's terminal shows, read from the page's own text once
// the section is in view: xterm.js does not redraw a terminal out of view.
async function screen(page, name) {
    return page.$eval(`#${name} .xterm-rows`, (rows) =>
        [...rows.children].map((row) => row.textContent.replace(/\u00a0/g, " ").trimEnd()));
}

async function inView(page, name) {
    await page.$eval(`#${name}`, (section) => section.scrollIntoView({ block: "center" }));
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

async function stateOf(page, name) {
    return page.$eval(`#${name}`, (section) => [section.dataset.state,
                                                 section.querySelector(".exit").textContent]);
}

async function waitForState(page, name, state, timeout = 10000) {
    await page.waitForFunction((id, wanted) => document.getElementById(id).dataset.state === wanted,
                               { timeout, polling: 20 }, name, state);
}

// Compares what a terminal shows with what a terminal would show for BYTES.
async function compareScreen(page, name, bytes, what) {
    const shown = await screen(page, name);
    const wanted = screenOf(bytes, shown.length);
    if (JSON.stringify(shown) === JSON.stringify(wanted)) return [];
    const row = shown.findIndex((text, i) => text !== wanted[i]);
    return [`${what}: row ${row} shows ${JSON.stringify(shown[row])}, expected ${JSON.stringify(wanted[row])}`];
}

async function screens(page) {
    const problems = [];
    for (const name of FIXED) {
        await inView(page, name);
        await waitForState(page, name, "exited");
        const [, exit] = await stateOf(page, name);
        if (exit !== "exit status 0") problems.push(`${name}: "${exit}" under its terminal`);
        await inView(page, name);
        problems.push(...await compareScreen(page, name, expected(name), name));
    }
    return problems;
}

async function typeInto(page, name, keys) {
    await page.click(`#${name} .terminal`);
    for (const key of keys) {
        if (key.startsWith("Control+")) {
            await page.keyboard.down("Control");
            await page.keyboard.press(key.slice(8));
            await page.keyboard.up("Control");
        } else if (["Backspace", "Enter"].includes(key)) {
            await page.keyboard.press(key);
        } else {
            await page.keyboard.type(key);
        }
    }
}

async function restart(page, name) {
    await inView(page, name);
    await page.click(`#${name} .run`);
}

// stairprompt: typed lines, each with the screen it must leave and the status.
async function typing(page) {
    const rows = (n) => Array.from({ length: n }, (_, k) => "*".repeat(k + 1) + "\n").join("");
    const cases = [
        ["57, Backspace, Enter", ["57", "Backspace", "Enter"], PROMPT + "5\n" + rows(5)],
        ["a sign, blanks and letters", [" +3abc", "Enter"], PROMPT + " +3abc\n" + rows(3)],
        ["a negative count", ["-4", "Enter"], PROMPT + "-4\n"],
        ["Ctrl-D at the start of a line", ["Control+d"], PROMPT],
    ];
    const problems = [];
    for (const [what, keys, wanted] of cases) {
        await restart(page, "stairprompt");
        await waitForState(page, "stairprompt", "reading");
        await typeInto(page, "stairprompt", keys);
        try {
            await waitForState(page, "stairprompt", "exited", 5000);
        } catch {
            problems.push(`stairprompt, ${what}: still ${(await stateOf(page, "stairprompt"))[0]}`);
            continue;
        }
        const [, exit] = await stateOf(page, "stairprompt");
        if (exit !== "exit status 0") problems.push(`stairprompt, ${what}: "${exit}"`);
        await inView(page, "stairprompt");
        problems.push(...await compareScreen(page, "stairprompt", encode(wanted), `stairprompt, ${what}`));
    }
    return problems;
}

// drain's frames as the screen shows them, from a fresh start to its end: the
// page itself notes each new screen and when it appeared, so that a busy
// machine cannot make the test see a frame late.
async function drain(page) {
    const output = expected("drain");
    const frameLength = output.length / 11;
    const frames = Array.from({ length: 11 }, (_, t) =>
        JSON.stringify(screenOf(output.subarray(0, frameLength * (t + 1)), 12)));
    await inView(page, "drain");
    await page.$eval("#drain .xterm-rows", (rows) => {
        window.drainScreens = [];
        const note = () => window.drainScreens.push([
            JSON.stringify([...rows.children].map((row) => row.textContent.replace(/\u00a0/g, " ").trimEnd())),
            performance.now()]);
        new MutationObserver(note).observe(rows, { childList: true, subtree: true, characterData: true });
    });
    await restart(page, "drain");
    await waitForState(page, "drain", "exited", 20000);
    const screens = await page.evaluate(() => window.drainScreens);
    // The run from the page's opening may still show a frame before the new
    // run's first. A frame is drawn row by row, so a screen between two
    // frames is no frame at all.
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
    const [, exit] = await stateOf(page, "drain");
    if (exit !== "exit status 0") problems.push(`drain: "${exit}" under its terminal`);
    return problems;
}

// A count of 1,000,000 rows runs for ages; Stop and Ctrl-C must each end it.
async function stopping(page) {
    const problems = [];
    for (const [what, stop] of [
        ["Stop", () => page.click("#stairprompt .stop")],
        ["Ctrl-C", () => typeInto(page, "stairprompt", ["Control+c"])],
    ]) {
        await restart(page, "stairprompt");
        await waitForState(page, "stairprompt", "reading");
        await typeInto(page, "stairprompt", ["1000000", "Enter"]);
        await sleep(1500);
        const asked = Date.now();
        await page.evaluate(() => document.title);
        const answered = Date.now() - asked;
        if (answered > 500) problems.push(`${what}: the page took ${answered} ms to answer while rows ran`);
        const [state] = await stateOf(page, "stairprompt");
        if (state !== "running") problems.push(`${what}: stairprompt was ${state} 1.5 s into a huge count`);
        // Within a second of the click or the keys reaching the page.
        await stop();
        try {
            await waitForState(page, "stairprompt", "exited", 1000);
        } catch {
            problems.push(`${what}: stairprompt still ${(await stateOf(page, "stairprompt"))[0]} a second later`);
            continue;
        }
        const [, exit] = await stateOf(page, "stairprompt");
        if (exit !== "stopped") problems.push(`${what}: "${exit}" under the terminal, expected "stopped"`);
        if (what === "Ctrl-C") {
            await inView(page, "stairprompt");
            // The rows of stars fill whole lines, so ^C may wrap between two.
            const shown = (await screen(page, "stairprompt")).join("");
            if (!shown.endsWith("^C")) problems.push(`Ctrl-C: the screen ends ${JSON.stringify(shown.slice(-10))}, not ^C`);
        }
    }
    return problems;
}

async function narrow(page) {
    await page.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true });
    await inView(page, "wedge");
    // A phone shows a page wider than its screen zoomed out, so the page's
    // width is measured against the screen's, not the window's.
    const [pageWidth, screenScrolls] = await page.evaluate(() => {
        const box = document.querySelector("#wedge .screen");
        return [document.documentElement.scrollWidth, box.scrollWidth > box.clientWidth];
    });
    const problems = [];
    if (pageWidth > 390) problems.push(`the page is ${pageWidth} pixels wide on a 390-pixel screen`);
    if (!screenScrolls) problems.push("wedge's box does not scroll on a 390-pixel screen");
    await page.setViewport({ width: 1280, height: 900 });
    return problems;
}

async function main() {
    const browser = await launch(browserName);
    const place = await address(how);
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    const pageProblems = [];
    page.on("console", (message) => {
        if (message.type() === "error") pageProblems.push(`console error: ${message.text()}`);
    });
    page.on("pageerror", (error) => pageProblems.push(`page error: ${error.message}`));
    page.on("request", (request) => {
        const url = request.url();
        if (!url.startsWith(place.folder) && !/^(data|blob):/.test(url))
            pageProblems.push(`a request outside the page's folder: ${url}`);
    });
    page.on("requestfailed", (request) => pageProblems.push(`request failed: ${request.url()}`));
    await page.goto(place.url, { waitUntil: "load" });

    const problems = [];
    for (const [group, check] of [["screens", screens], ["typing", typing], ["drain", drain],
                                  ["stopping", stopping], ["narrow", narrow]]) {
        const found = await check(page);
        problems.push(...found.map((problem) => `${group}: ${problem}`));
        console.log(`${group}: ${found.length ? "FAILED" : "passed"}`);
    }
    problems.push(...pageProblems.map((problem) => `page: ${problem}`));
    console.log(`page: ${pageProblems.length ? "FAILED" : "passed"}`);
    await browser.close();
    place.close();
    for (const problem of problems) console.log(problem);
    process.exit(problems.length ? 1 : 0);
}

await main();
