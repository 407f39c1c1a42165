// Stepping through an edited program, its run recorded in the page, each
// group given a tab with the page open over HTTP but for the last; expected
// values are worked out from the programs' definitions, and the random ones
// chosen are printed with what went wrong:
//   editedCells     funnel with a random h: six random cells, opened by
//                   #funnel/edit/DATA/cell/R/C, each at the step that wrote
//                   it, on the line that writes, in main with that h, x and
//                   y, just after isHourglass returned the cell's answer;
//                   in Firefox, one cell;
//   editedCalls     steeple with a random number of rows: three stars,
//                   each in star(k) under the f of its row; gasket with a
//                   comment before its first line: two stars whose stored
//                   link leads to a step that stores into arr in
//                   star(row, col, 3), three calls of star deep;
//   twoRecorders    all twelve programs' own sources, recorded in the page,
//                   write what their build-time recordings write, every
//                   character from a step on the same line in the same
//                   innermost call (two_recorders.mjs);
//   recordingLimits a program that writes without end is recorded to the
//                   cap, which the player names, the page answering
//                   meanwhile, and its last step opens; Stop ends the
//                   recording of a program waiting for input, and the
//                   player opens on what it recorded; the player of the
//                   program's own run fetches nothing of the compiler;
//                   Step through after Reset plays the program's own run;
//   editedFromDisk  from disk, an edit's step address says that compiling
//                   needs HTTP.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";
import { deflateRawSync, inflateRawSync } from "node:zlib";

import { launch } from "./browsers.mjs";
import { sleep, waitForState } from "./section.mjs";
import { disagreements } from "./two_recorders.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
const PATHS = { gasket: "canvas", gridshapes: "canvas", apex: "raster", funnel: "raster", waist: "raster",
                wedge: "raster", drain: "raster", stairfixed: "recursive", stairprompt: "recursive",
                steeple: "recursive", hello: "greetings", hellostream: "greetings" };
const sourceOf = (name) => readFileSync(join(ROOT, PATHS[name], `${name}.cpp`), "utf-8");
const base64url = (bytes) => bytes.toString("base64").replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
const editAddress = (name, source) => `#${name}/edit/${base64url(deflateRawSync(Buffer.from(source)))}`;
const random = (low, high) => low + Math.floor(Math.random() * (high - low + 1));
const pick = (values) => values[random(0, values.length - 1)];
const lineOf = (source, text) => source.split("\n").findIndex((line) => line.includes(text)) + 1;

// A first compile fetches the compiler, which a busy machine may take a
// minute over; recording adds a second compile and the run.
const RECORDED = 180000;

// The player of section NAME as the page shows it, with the cell at ROW
// and COL, if given.
function read(name, row = null, col = null) {
    const section = document.getElementById(name);
    const slider = section.querySelector('.player input[type="range"]');
    const cell = row === null ? null : section.querySelector(`pre[data-screen] [data-r="${row}"] [data-c="${col}"]`);
    return slider && {
        step: Number(slider.value),
        last: Number(slider.max),
        edited: section.classList.contains("stepping-edit"),
        cell: cell && { ch: cell.textContent, new: cell.classList.contains("new") },
        calls: [...section.querySelectorAll("ol[data-calls] > li")].map((li) => li.textContent),
        returned: section.querySelector("[data-returned]")?.textContent ?? null,
        current: [...section.querySelectorAll('[aria-current="step"]')].map((e) => ({ line: Number(e.dataset.line), text: e.textContent })),
        stored: section.querySelector("a[data-stored]")?.getAttribute("href") ?? null,
        capped: section.querySelector(".player [data-capped]")?.textContent ?? null,
        notes: [...section.querySelectorAll(".player-note")].map((note) => note.textContent.replace(/\s+/g, " ")),
        hash: location.hash,
    };
}

// The source an edit's address holds.
const sourceOfAddress = (hash) => inflateRawSync(Buffer.from(hash.split("/")[2], "base64url")).toString("utf-8");

// Goes to ADDRESS, an edit's player address, as a link would, and answers
// the player once the address reads the step it shows of that edit: the
// page packs the source its own way, so the address is read back.
async function visitEdit(tab, name, address, row = null, col = null) {
    await tab.evaluate((to) => { location.hash = to; }, address);
    await tab.waitFor((id) => {
        const slider = document.querySelector(`#${id}.stepping-edit .player input`);
        return slider && new RegExp(`^#${id}/edit/[\\w-]+/step/${slider.value}$`).test(location.hash);
    }, [name], RECORDED).catch(() => { throw new Error(`${address.slice(0, 60)}…: no player of the edit's run`); });
    const shown = await tab.evaluate(read, name, row, col);
    if (sourceOfAddress(shown.hash) !== sourceOfAddress(address))
        throw new Error(`${address.slice(0, 60)}…: the player's address holds another source`);
    return shown;
}

// funnel's predicate, as its source defines it.
function isHourglass(h, x, y) {
    if (x <= h && y >= -h) return Number(y >= -x);
    if (x <= h && y <= -h) return Number(y <= x - 2 * h);
    if (x >= h && y >= -h) return Number(y >= x - 2 * h);
    return Number(y <= -x);
}

export async function editedCells(tab, { browser }) {
    // Not 10, funnel's own h: that source is no edit, and plays funnel's own run.
    const h = pick([2, 3, 4, 5, 6, 7, 8, 9, 11, 12]);
    const source = sourceOf("funnel").replace("const int h = 10;", `const int h = ${h};`);
    const writes = lineOf(source, "putchar(isHourglass(h, x, y)");
    const problems = [];
    // The raster scan's cell at row r and column c is x = c, y = -r.
    for (let i = 0; i < (browser === "firefox" ? 1 : 6); i++) {
        const [row, col] = [random(0, 2 * h), random(0, 2 * h)];
        const [x, y] = [col, -row];
        const answer = isHourglass(h, x, y);
        const what = `funnel with h = ${h}, the cell at row ${row}, column ${col}`;
        const at = await visitEdit(tab, "funnel", `${editAddress("funnel", source)}/cell/${row}/${col}`, row, col);
        if (at.cell?.ch !== (answer ? "*" : " ") || !at.cell.new)
            problems.push(`${what}: step ${at.step} shows ${JSON.stringify(at.cell)} there, not ${answer ? "*" : "a blank"} just written`);
        if (at.current.length !== 1 || at.current[0].line !== writes)
            problems.push(`${what}: the line marked is ${JSON.stringify(at.current)}, not ${writes}`);
        if (at.calls.length !== 1 || at.calls[0] !== `main() h = ${h}, y = ${y}, x = ${x}`)
            problems.push(`${what}: the calls are ${JSON.stringify(at.calls)}`);
        if (at.returned !== `isHourglass(${h}, ${x}, ${y}) returned ${answer}`)
            problems.push(`${what}: ${JSON.stringify(at.returned)}, not isHourglass(${h}, ${x}, ${y}) returning ${answer}`);
    }
    return problems;
}

// The base triangles gasket's star draws for a triangle of SIZE at (ROW,
// COL): each of size 3, by its apex.
function baseTriangles(row, col, size) {
    if (size === 3) return [[row, col]];
    const half = size / 2;
    return [...baseTriangles(row, col, half), ...baseTriangles(row + half, col - half, half),
            ...baseTriangles(row + half, col + half, half)];
}

export async function editedCalls(tab) {
    const problems = [];
    // steeple's row r (from 1) of m is indented by m - r blanks; its j-th
    // star is written by star(j), in f(a = r, depth = m - r).
    // Not 4, steeple's own, which is no edit.
    const m = pick([2, 3, 5, 6, 7]);
    const steeple = sourceOf("steeple").replace("int m = 4;", `int m = ${m};`);
    for (let i = 0; i < 3; i++) {
        const row = random(1, m);
        const star = random(1, 2 * row - 1);
        const col = m - row + star - 1;
        const what = `steeple with ${m} rows, star ${star} of row ${row}`;
        const at = await visitEdit(tab, "steeple", `${editAddress("steeple", steeple)}/cell/${row}/${col}`, row, col);
        const f = at.calls.find((call) => call.startsWith("f("));
        if (at.cell?.ch !== "*" || at.calls[0] !== `star(k = ${star})` || f !== `f(a = ${row}, depth = ${m - row})`)
            problems.push(`${what}: step ${at.step} shows ${JSON.stringify(at.cell)}, in ${JSON.stringify(at.calls)}`);
    }
    // gasket's stars, each stored by the base triangle that covers it.
    const gasket = `// An edit that moves every line down one.\n${sourceOf("gasket")}`;
    const stores = lineOf(gasket, "arr[row][col] = '*';");
    const bases = baseTriangles(0, 11, 12);
    for (let i = 0; i < 2; i++) {
        const [top, apex] = bases[random(0, bases.length - 1)];
        const [row, col] = [top + random(0, 2), apex];
        const what = `gasket with a comment, the star at row ${row}, column ${col}`;
        const printed = await visitEdit(tab, "gasket", `${editAddress("gasket", gasket)}/cell/${row}/${col}`, row, col);
        if (!printed.stored) {
            problems.push(`${what}: no link to the step that stored it`);
            continue;
        }
        await tab.click("#gasket a[data-stored]");
        const link = printed.stored;
        await tab.waitFor((to) => location.hash === to, [link], 5000).catch(() => {});
        await tab.waitFor((to) => document.querySelector("#gasket .player input")?.value === to.split("/").at(-1),
                          [link], 5000).catch(() => {});
        const store = await tab.evaluate(read, "gasket");
        const [base] = bases.filter(([r, c]) => row - r >= 0 && row - r <= 2 && Math.abs(col - c) <= row - r);
        const stars = store.calls.filter((call) => call.startsWith("star("));
        if (store.hash !== link || store.current[0]?.line < stores || store.current[0]?.line > stores + 4
            || !store.current[0]?.text.includes("arr[") || stars.length !== 3
            || !store.calls[0]?.startsWith(`star(row = ${base[0]}, col = ${base[1]}, size = 3)`))
            problems.push(`${what}: its stored link ${link.slice(-12)} led to ${JSON.stringify(store).slice(0, 400)}`);
    }
    return problems;
}

// Records NAME's own source in the page (with a comment after its last
// line, so that it is an edit that changes no line), typing 5 at
// stairprompt's prompt; answers both recordings.
async function recordOwn(tab, name) {
    const source = `${sourceOf(name)}// recorded in the page\n`;
    // The last compile's end is wiped, as the recorded run starts after this one's.
    await tab.evaluate((id) => {
        const status = document.querySelector(`#${id} [data-compile-status]`);
        if (status) status.dataset.compileStatus = "";
    }, name);
    await tab.evaluate((to) => { location.hash = to; }, `${editAddress(name, source)}/step/0`);
    if (name === "stairprompt") {
        // The recorded run's prompt, not that of the program's own run,
        // which starts as its section comes into view.
        await tab.waitFor((id) => document.querySelector(`#${id} [data-compile-status]`)?.dataset.compileStatus === "done",
                          [name], RECORDED);
        await waitForState(tab, name, "reading", RECORDED);
        await tab.click(`#${name} .xterm`);
        await tab.keys(["5", "Enter"]);
    }
    await tab.waitFor((id, wanted) => document.querySelector(`#${id}.stepping-edit .player`)
                      && editedRuns.get(document.getElementById(id))?.source === wanted, [name, source], RECORDED);
    return tab.evaluate((id) => [recordings[id], editedRuns.get(document.getElementById(id)).recording], name);
}

export async function twoRecorders(tab) {
    const problems = [];
    for (const name of Object.keys(PATHS)) {
        const [built, page] = await recordOwn(tab, name);
        const found = disagreements(built, page);
        problems.push(...found.slice(0, 3).map((problem) => `${name}: ${problem}`));
        console.log(`twoRecorders: ${name}, ${built.steps.length} steps built and ${page.steps.length} in the page: ` +
                    `${found.length ? `${found.length} characters differ` : "every character from the same line and call"}`);
    }
    return problems;
}

export async function recordingLimits(tab, { place }) {
    const problems = [];
    // A program that writes without end, on one line.
    const endless = "#include <cstdio>\nint main() { for (;;) std::puts(\"more\"); }\n";
    await tab.evaluate((to) => { location.hash = to; }, `${editAddress("apex", endless)}/step/0`);
    let slowest = 0;
    for (const end = Date.now() + RECORDED; Date.now() < end;) {
        const asked = Date.now();
        const open = await tab.evaluate(() => Boolean(document.querySelector("#apex.stepping-edit .player")));
        slowest = Math.max(slowest, Date.now() - asked);
        if (open) break;
        await sleep(100);
    }
    if (slowest > 500) problems.push(`while an endless writer was recorded, the page took ${slowest} ms to answer`);
    await tab.evaluate(() => {
        const slider = document.querySelector("#apex .player input");
        slider.value = slider.max;
        slider.dispatchEvent(new Event("input", { bubbles: true }));
    });
    const last = await tab.evaluate(read, "apex");
    if (!last || last.last < 100000 || last.step !== last.last || last.capped !== `Recorded the first ${last.last} steps; the program went on.`
        || !/\/step\/\d+$/.test(last.hash))
        problems.push(`an endless writer's player: ${JSON.stringify(last && { ...last, hash: last.hash.slice(-20) })}`);
    else if (!last.current.some(({ text }) => text.includes("std::puts")))
        problems.push(`an endless writer's last step marks ${JSON.stringify(last.current)}`);

    // Stop, while the recorded run waits for its count.
    const waiting = `${sourceOf("stairprompt")}// waits\n`;
    await tab.evaluate(() => {
        const status = document.querySelector("#stairprompt [data-compile-status]");
        if (status) status.dataset.compileStatus = "";
    });
    await tab.evaluate((to) => { location.hash = to; }, `${editAddress("stairprompt", waiting)}/step/0`);
    await tab.waitFor(() => document.querySelector("#stairprompt [data-compile-status]")?.dataset.compileStatus === "done",
                      [], RECORDED).catch(() => {});
    await waitForState(tab, "stairprompt", "reading", RECORDED).catch(() => {});
    await tab.evaluate(() => document.querySelector("#stairprompt .stop").scrollIntoView());
    await tab.click("#stairprompt .stop");
    const stopped = Date.now();
    await tab.waitFor(() => document.querySelector("#stairprompt.stepping-edit .player"), [], 5000).catch(() => {});
    const after = await tab.evaluate(read, "stairprompt");
    if (!after || Date.now() - stopped > 1000 + 500 || !after.notes.some((note) => /to the run's end: stopped/.test(note)))
        problems.push(`Stop while stairprompt's edit was recorded: ${Date.now() - stopped} ms, then ${JSON.stringify(after?.notes)}`);

    // The program's own run, in a tab of its own: nothing of the compiler.
    const own = await launch("chromium");
    try {
        const before = place.served.length;
        await own.goto({ ...place, url: `${place.url}#funnel/step/40` });
        await own.waitFor(() => document.querySelector("#funnel .player"));
        await sleep(500);
        const compiler = place.served.slice(before).map(([path]) => path)
            .filter((path) => /compiler\/|compile_worker|instrument|recorder|codemirror/.test(path));
        if (compiler.length) problems.push(`#funnel/step/40 fetched ${compiler.join(", ")}`);
    } finally {
        await own.close();
    }

    // Reset, then Step through: the program's own run again.
    await tab.evaluate(() => document.querySelector("#apex .close")?.click());
    await tab.click("#apex .reset");
    await tab.click("#apex .step-through");
    await tab.waitFor(() => document.querySelector("#apex .player") && location.hash === "#apex/step/0", [], 10000)
        .catch(() => {});
    const reset = await tab.evaluate(read, "apex");
    if (!reset || reset.edited || reset.hash !== "#apex/step/0")
        problems.push(`Step through after Reset: ${JSON.stringify(reset && { edited: reset.edited, hash: reset.hash.slice(0, 40) })}`);
    await tab.evaluate(() => document.querySelector("#apex .close")?.click());
    return problems;
}

export async function editedFromDisk(tab) {
    await tab.evaluate((to) => { location.hash = to; }, `${editAddress("hello", `${sourceOf("hello")}// mine\n`)}/step/2`);
    await tab.waitFor(() => document.querySelector("#hello [data-compile-status]")?.textContent, [], 10000).catch(() => {});
    const said = await tab.evaluate(() => document.querySelector("#hello [data-compile-status]")?.textContent);
    return /HTTP/.test(said) && said.includes("python3 -m http.server") ? [] : [`from disk, an edit's step address says "${said}"`];
}
