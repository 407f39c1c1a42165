// The player, each group given a tab with the page open, its values worked
// out from the programs' definitions:
//   stepping  at step 0 nothing is on the screen and no line is marked, and
//             the last step shows the whole output; the address of a cell
//             lands on the step after which the cell is there and before
//             which it is not, and reads #NAME/step/K;
//   values    funnel's main with x and y, and isHourglass's arguments and
//             answer, at a cell; steeple's chain of star and f calls; a
//             line of stairprompt's in a header, named with its file;
//             gasket's printed cell linked to the step that stored it;
//   controls  Step through, its player with the source beside it in a
//             window 1440 pixels wide, the buttons, the slider, ← → and
//             Space, a cell picked by clicking, after which ← → step on,
//             and by the keyboard, and Close;
//   phone     on a phone 390 pixels wide, the page with wedge's player open
//             never scrolls sideways.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";

import { FIXED } from "./browsers.mjs";
import { screenOf } from "./screen.mjs";
import { expected, phoneProblems, sleep } from "./section.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
const PROMPT = "숫자를 입력하세요 : ";
const stairs = (n) => Array.from({ length: n }, (_, k) => "*".repeat(k + 1) + "\n").join("");

// What each program's terminal shows at the end: stairprompt is typed 5.
const finalBytes = (name) => (name === "stairprompt" ? Buffer.from(PROMPT + "5\n" + stairs(5)) : expected(name));

// The player of section NAME as the page shows it.
function read(name) {
    const section = document.getElementById(name);
    const slider = section.querySelector('.player input[type="range"]');
    return slider && {
        rows: Number(section.dataset.rows),
        screen: section.querySelector("pre[data-screen]").textContent.split("\n").map((row) => row.trimEnd()),
        step: Number(slider.value),
        last: Number(slider.max),
        calls: [...section.querySelectorAll("ol[data-calls] > li")].map((li) => li.textContent),
        returned: section.querySelector("[data-returned]")?.textContent ?? null,
        current: [...section.querySelectorAll('[aria-current="step"]')]
            .map((e) => ({ line: Number(e.dataset.line), file: e.dataset.file ?? null, text: e.textContent })),
        stored: section.querySelector("a[data-stored]")?.getAttribute("href") ?? null,
        hash: location.hash,
    };
}

// Goes to ADDRESS as a link would, and answers the player once the address
// reads #NAME/step/K of the step it shows.
async function visit(tab, name, address) {
    await tab.evaluate((to) => { location.hash = to; }, address);
    await tab.waitFor((id) => location.hash === `#${id}/step/${document.querySelector(`#${id} .player input`)?.value}`,
                      [name]).catch(() => { throw new Error(`${address}: no player shows the step the address gives`); });
    return tab.evaluate(read, name);
}

const character = (rows, row, col) => [...(rows[row] ?? "")][col] ?? " ";

// The line of FILE whose text includes TEXT, counted from 1.
const lineOf = (file, text) => readFileSync(join(ROOT, file), "utf-8").split("\n").findIndex((line) => line.includes(text)) + 1;

export async function stepping(tab) {
    const problems = [];
    for (const name of [...FIXED, "drain", "stairprompt"]) {
        const first = await visit(tab, name, `#${name}/step/0`);
        if (first.screen.some((row) => row) || first.current.length || first.calls.length)
            problems.push(`${name} at step 0: ${JSON.stringify(first).slice(0, 200)}`);
        const end = await visit(tab, name, `#${name}/step/999999`);
        const wanted = screenOf(finalBytes(name), end.rows);
        if (end.step !== end.last || JSON.stringify(end.screen) !== JSON.stringify(wanted))
            problems.push(`${name}: step ${end.step} of ${end.last} shows ${JSON.stringify(end.screen)}, not the whole output`);
    }
    // A cell each, Hangul and drain's first frame among them.
    for (const [name, row, col] of [["funnel", 3, 5], ["gasket", 11, 0], ["drain", 1, 1], ["hello", 1, 2],
                                    ["stairprompt", 0, 12], ["stairprompt", 3, 2], ["wedge", 0, 66]]) {
        // drain's first frame, which the later frames empty.
        const bytes = name === "drain" ? expected(name).subarray(0, expected(name).length / 11) : finalBytes(name);
        const wanted = character(screenOf(bytes, 30), row, col);
        const at = await visit(tab, name, `#${name}/cell/${row}/${col}`);
        const before = await visit(tab, name, `#${name}/step/${at.step - 1}`);
        if (character(at.screen, row, col) !== wanted || character(before.screen, row, col) !== " ")
            problems.push(`${name}/cell/${row}/${col} led to step ${at.step}, which shows ` +
                          `${JSON.stringify(character(at.screen, row, col))} there, after ` +
                          `${JSON.stringify(character(before.screen, row, col))}; expected ${JSON.stringify(wanted)}`);
    }
    return problems;
}

// funnel's predicate, as its source defines it.
function isHourglass(h, x, y) {
    if (x <= h && y >= -h) return Number(y >= -x);
    if (x <= h && y <= -h) return Number(y <= x - 2 * h);
    if (x >= h && y >= -h) return Number(y >= x - 2 * h);
    return Number(y <= -x);
}

export async function values(tab) {
    const problems = [];
    // The raster scan's cell at row r and column c is x = c, y = -r.
    for (const [row, col] of [[3, 5], [3, 1], [15, 18]]) {
        const [x, y] = [col, -row];
        const at = await visit(tab, "funnel", `#funnel/cell/${row}/${col}`);
        const main = at.calls.at(-1) ?? "";
        const answer = `isHourglass(10, ${x}, ${y}) returned ${isHourglass(10, x, y)}`;
        if (at.calls.length !== 1 || !main.startsWith("main(") || !main.includes(`x = ${x}`) || !main.includes(`y = ${y}`))
            problems.push(`funnel/cell/${row}/${col}: the calls are ${JSON.stringify(at.calls)}`);
        if (at.returned !== answer) problems.push(`funnel/cell/${row}/${col}: ${JSON.stringify(at.returned)}, not "${answer}"`);
        const line = lineOf("raster/funnel.cpp", "putchar(isHourglass(h, x, y)");
        if (at.current.length !== 1 || at.current[0].line !== line || at.current[0].file)
            problems.push(`funnel/cell/${row}/${col}: the line marked is ${JSON.stringify(at.current)}, not ${line}`);
    }

    // steeple's row of size a is indented by m - a = 4 - a blanks; its first
    // star is the first that star(2a - 1) writes, within f(a) to f(4).
    const top = await visit(tab, "steeple", "#steeple/cell/1/3");
    const chain = ["star(k = 1)", "f(a = 1, depth = 3)", "f(a = 2, depth = 2)", "f(a = 3, depth = 1)",
                   "f(a = 4, depth = 0)", "main()"];
    if (JSON.stringify(top.calls) !== JSON.stringify(chain))
        problems.push(`steeple/cell/1/3: the calls are ${JSON.stringify(top.calls)}, not ${JSON.stringify(chain)}`);
    const run = await visit(tab, "steeple", "#steeple/cell/4/0");
    if (JSON.stringify(run.calls.slice(0, 8)) !== JSON.stringify([...Array.from({ length: 7 }, (_, i) => `star(k = ${i + 1})`),
                                                                 "f(a = 4, depth = 0)"]))
        problems.push(`steeple/cell/4/0: the calls are ${JSON.stringify(run.calls)}`);

    // stairprompt gathers each run of stars as a piece, in a header.
    const gathered = await visit(tab, "stairprompt", "#stairprompt/cell/3/0");
    const piece = lineOf("recursive/star_blocks.h", "pieces[pieceCount++] = {at, length};");
    if (JSON.stringify(gathered.current.map(({ line, file }) => [line, file])) !== JSON.stringify([[piece, "recursive/star_blocks.h"]]))
        problems.push(`stairprompt/cell/3/0: the line marked is ${JSON.stringify(gathered.current)}`);

    // gasket's apex is printed from the canvas cell (0, 11), stored by the
    // first base triangle, star(0, 11, 3), before anything is printed.
    const printed = await visit(tab, "gasket", "#gasket/cell/0/11");
    const stored = Number(printed.stored?.match(/^#gasket\/step\/(\d+)$/)?.[1]);
    if (!(stored < printed.step)) problems.push(`gasket/cell/0/11: the stored link is ${printed.stored}`);
    else {
        await tab.click("#gasket a[data-stored]");
        await tab.waitFor((k) => location.hash === `#gasket/step/${k}`, [stored]);
        const store = await tab.evaluate(read, "gasket");
        const line = lineOf("canvas/gasket.cpp", "arr[row][col] = '*';");
        if (store.step !== stored || store.current[0]?.line !== line || store.screen.some((row) => row)
            || JSON.stringify(store.calls.slice(0, 3)) !== JSON.stringify(
                ["star(row = 0, col = 11, size = 3)", "star(row = 0, col = 11, size = 6) half = 3",
                 "star(row = 0, col = 11, size = 12) half = 6"]))
            problems.push(`gasket: the stored link led to ${JSON.stringify(store).slice(0, 300)}`);
    }
    return problems;
}

export async function controls(tab) {
    const problems = [];
    // The step and the address, once the address has caught up.
    const expect = async (what, wanted) => {
        await tab.waitFor((hash) => location.hash === hash, [wanted.hash], 2000).catch(() => {});
        const now = await tab.evaluate(read, "apex");
        const seen = now && { step: now.step, hash: now.hash };
        if (JSON.stringify(seen) !== JSON.stringify(wanted))
            problems.push(`${what}: ${JSON.stringify(seen)}, expected ${JSON.stringify(wanted)}`);
    };
    await tab.evaluate(() => {
        document.querySelector("#apex .close")?.click();
        document.querySelector("#apex").scrollIntoView();
    });
    await tab.click("#apex .step-through");
    await tab.waitFor(() => document.querySelector("#apex .player"));
    const buttons = await tab.evaluate(() => [...document.querySelectorAll("#apex .player button")].map((b) => b.textContent));
    if (JSON.stringify(buttons) !== JSON.stringify(["Previous step", "Next step", "Play", "Close"]))
        problems.push(`the player's buttons are ${JSON.stringify(buttons)}`);
    await tab.waitFor(() => location.hash === "#apex/step/0");
    await tab.resize(1440, 900);
    const beside = await tab.evaluate(() => {
        const player = document.querySelector("#apex .player").getBoundingClientRect();
        const source = document.querySelector("#apex .source-side").getBoundingClientRect();
        return source.left >= player.right && source.top < player.bottom;
    });
    await tab.resize(1280, 900);
    if (!beside) problems.push("apex's source is not beside its player in a window 1440 pixels wide");
    await tab.click("#apex .next");
    await tab.click("#apex .next");
    await expect("Next step twice", { step: 2, hash: "#apex/step/2" });
    await tab.click("#apex .previous");
    await expect("Previous step", { step: 1, hash: "#apex/step/1" });
    await tab.evaluate(() => document.querySelector("#apex .player").focus());
    await tab.keys(["ArrowRight", "ArrowRight", "ArrowRight", "ArrowLeft"]);
    await expect("→ → → ←", { step: 3, hash: "#apex/step/3" });

    await tab.keys(["Space"]);
    await sleep(700);
    const playing = await tab.evaluate(read, "apex");
    const label = await tab.evaluate(() => document.querySelector("#apex .play").textContent);
    await tab.keys(["Space"]);
    await sleep(300);
    const paused = (await tab.evaluate(read, "apex")).step;
    await sleep(400);
    const still = await tab.evaluate(read, "apex");
    if (label !== "Pause" || playing.step < 5 || still.step !== paused)
        problems.push(`Space: "${label}", step ${playing.step} after 0.7 s, then ${paused} and ${still.step} when paused`);

    // The last row's first cell is written at its first step, its second after.
    const toEnd = () => tab.evaluate(() => {
        const slider = document.querySelector('#apex input[type="range"]');
        slider.value = slider.max;
        slider.dispatchEvent(new Event("input", { bubbles: true }));
    });
    await toEnd();
    await tab.click('#apex [data-screen] [data-r="10"] [data-c="0"]');
    await sleep(100);
    const clicked = await tab.evaluate(read, "apex");
    await tab.keys(["ArrowRight"]);
    await expect("→ after a click", { step: clicked.step + 1, hash: `#apex/step/${clicked.step + 1}` });
    await toEnd();
    await tab.evaluate(() => document.querySelector("#apex [data-screen]").focus());
    await tab.keys(["ArrowRight", "Enter"]);
    await sleep(100);
    const keyed = await tab.evaluate(read, "apex");
    const before = await visit(tab, "apex", `#apex/step/${clicked.step - 1}`);
    if (character(clicked.screen, 10, 0) !== "*" || character(before.screen, 10, 0) !== " "
        || character(keyed.screen, 10, 1) !== "*" || keyed.step <= clicked.step)
        problems.push(`picking apex's cell (10, 0) led to step ${clicked.step}, and (10, 1) by the keys to step ${keyed.step}`);

    await tab.click("#apex .close");
    await sleep(300);
    const closed = await tab.evaluate(() => [Boolean(document.querySelector("#apex .player")), location.hash,
        getComputedStyle(document.querySelector("#apex .screen")).display]);
    if (JSON.stringify(closed) !== JSON.stringify([false, "#apex", "block"]))
        problems.push(`Close left ${JSON.stringify(closed)}`);
    return problems;
}

export function phone(tab, { browser, place }) {
    return phoneProblems(browser, place, "#wedge/step/300", (small) => small.waitFor(() => document.querySelector("#wedge .player"))
        .catch(() => { throw new Error("#wedge/step/300 opened no player"); }), "wedge's player open");
}
