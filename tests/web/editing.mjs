// The editor, each group given a tab with the page open, over HTTP but for
// the last, its expected values worked out from the programs' definitions:
//   compiling    each program's own source, compiled in the page, writes
//                exactly its program's bytes (stairprompt typed 5): all
//                twelve in Firefox, the fastest to compile, and three in the
//                other engines;
//   address      #funnel/edit/DATA with h = 5 opens funnel's editor with
//                that source and runs it: the hourglass isHourglass draws for
//                h = 5, and data-differs counts the cells that differ from
//                h = 10's; with h = 30 the terminal grows to its 61 rows;
//   mistakes     a missing ';' is listed at its line and marked there, and
//                the terminal keeps what it had; a program that never ends,
//                silent or writing without end, leaves the page answering
//                and stops at Stop within a second; one that aborts says so; a source over 100 KB is refused, and a
//                link that unpacks to 30 MB is refused unpacked no further;
//   keeping      typing moves the address to the text's; the edit outlives
//                a reload; meanwhile the program's own address plays its
//                own run beside its own listing, and Step through the
//                edit's, beside the edited source; Reset gives back the
//                program's own source;
//   narrow       on a phone 390 pixels wide, with an editor open, the page
//                never scrolls sideways;
//   from disk    Edit opens, and Run says compiling needs HTTP.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";
import { deflateRawSync, inflateRawSync } from "node:zlib";

import { compareScreen, expected, inView, phoneProblems, screen, settled, sleep, stateOf, waitForState } from "./section.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
const PATHS = { gasket: "canvas", gridshapes: "canvas", apex: "raster", funnel: "raster", waist: "raster",
                wedge: "raster", drain: "raster", stairfixed: "recursive", stairprompt: "recursive",
                steeple: "recursive", hello: "greetings", hellostream: "greetings" };
const sourceOf = (name) => readFileSync(join(ROOT, PATHS[name], `${name}.cpp`), "utf-8");
const base64url = (bytes) => bytes.toString("base64").replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
const editAddress = (name, source) => `#${name}/edit/${base64url(deflateRawSync(Buffer.from(source)))}`;
const sourceOfAddress = (hash) => inflateRawSync(Buffer.from(hash.split("/")[2], "base64url")).toString("utf-8");

// A first compile fetches the compiler, which a busy machine may take a
// minute over.
const COMPILED = 120000;

// Notes in the page the bytes every edited run writes: the worker that runs
// it hands them to the page in { write } messages.
function noteEditedRuns() {
    if (window.editedRuns) return;
    window.editedRuns = [];
    const Original = Worker;
    window.Worker = function (url, options) {
        const worker = new Original(url, options);
        if (String(url).endsWith("run_worker.js")) {
            const bytes = [];
            window.editedRuns.push(bytes);
            worker.addEventListener("message", ({ data }) => data.write && bytes.push(...data.write));
        }
        return worker;
    };
}

// The text of NAME's editor, as CodeMirror holds it.
const editorText = (tab, name) => tab.evaluate((id) =>
    CodeMirror.EditorView.findFromDOM(document.querySelector(`#${id} .cm-editor`)).state.doc.toString(), name);

async function openEditor(tab, name) {
    await inView(tab, name);
    const pressed = await tab.evaluate((id) => document.querySelector(`#${id} .edit`)?.getAttribute("aria-pressed"), name);
    if (pressed === undefined || pressed === null) throw new Error(`${name} has no Edit button`);
    if (pressed !== "true") await tab.click(`#${name} .edit`);
    await tab.waitFor((id) => document.querySelector(`#${id} [contenteditable="true"]`), [name]);
}

// Presses Run in NAME's open editor and waits for the compile to end.
async function compileAndRun(tab, name) {
    const runs = await tab.evaluate(() => window.editedRuns.length);
    // The last compile's end is wiped first, as a click may reach the page
    // only after the driver has answered.
    await tab.evaluate((id) => { document.querySelector(`#${id} [data-compile-status]`).dataset.compileStatus = ""; }, name);
    // The editor scrolls the page to its cursor at the next frame after a
    // keystroke; a click before that lands where Run was, not where it is.
    await settled(tab);
    await tab.click(`#${name} .run`);
    await tab.waitFor((id) => !["", "fetching", "compiling"].includes(
        document.querySelector(`#${id} [data-compile-status]`).dataset.compileStatus), [name], COMPILED);
    return runs;
}

export async function compiling(tab, { browser }) {
    await tab.evaluate(noteEditedRuns);
    const names = browser === "firefox" ? Object.keys(PATHS) : ["gasket", "stairprompt", "hello"];
    const problems = [];
    for (const name of names) {
        await openEditor(tab, name);
        const runs = await compileAndRun(tab, name);
        const began = Date.now();
        let waiting = "its worker to start";
        try {
            // The run has started once its worker has.
            await tab.waitFor((before) => window.editedRuns.length > before, [runs], 5000);
            if (name === "stairprompt") {
                waiting = "its prompt";
                await waitForState(tab, name, "reading");
                await tab.click(`#${name} .xterm`);
                await tab.keys(["5", "Enter"]);
            }
            waiting = "its end";
            await waitForState(tab, name, "exited", name === "drain" ? 30000 : 20000);
        } catch {
            const [state, exit] = await stateOf(tab, name);
            const status = await tab.evaluate((id) => document.querySelector(`#${id} [data-compile-status]`).textContent, name);
            const wrote = await tab.evaluate((before) => window.editedRuns[before]?.length, runs);
            problems.push(`${name}: compiled in the page, "${status}", then ${state}, "${exit}": waited ` +
                          `${Date.now() - began} ms for ${waiting}; the run wrote ${wrote} bytes, and the ` +
                          `terminal shows ${JSON.stringify((await screen(tab, name)).join("\n").trim())}`);
            continue;
        }
        const wrote = Buffer.from(await tab.evaluate((before) => window.editedRuns[before], runs));
        const wanted = name === "stairprompt" ? readFileSync(join(ROOT, "tests", "expected", "stairprompt-5.out")) : expected(name);
        if (!wrote.equals(wanted)) problems.push(`${name}: compiled in the page, it wrote ${wrote.length} bytes, ` +
                                                 `not its ${wanted.length}: ${JSON.stringify(wrote.toString().slice(0, 60))}`);
        const [, exit] = await stateOf(tab, name);
        if (exit !== "exit status 0") problems.push(`${name}: compiled in the page, it ended "${exit}"`);
    }
    return problems;
}

// funnel's predicate, as its source defines it, and its picture for H.
function isHourglass(h, x, y) {
    if (x <= h && y >= -h) return y >= -x;
    if (x <= h && y <= -h) return y <= x - 2 * h;
    if (x >= h && y >= -h) return y >= x - 2 * h;
    return y <= -x;
}
const hourglass = (h) => Array.from({ length: 2 * h + 1 }, (_, r) =>
    Array.from({ length: 2 * h + 1 }, (_, x) => (isHourglass(h, x, -r) ? "*" : " ")).join(""));

// Opens funnel's editor at the address of its source with half-width H,
// which runs it; answers the source once the run has ended and its
// differences are counted, or null if it never does.
async function funnelAt(tab, h) {
    await tab.evaluate(noteEditedRuns);
    const source = sourceOf("funnel").replace("const int h = 10;", `const int h = ${h};`);
    const runs = await tab.evaluate(() => window.editedRuns.length);
    await tab.evaluate((to) => { location.hash = to; }, editAddress("funnel", source));
    try {
        await tab.waitFor((before) => window.editedRuns.length > before, [runs], COMPILED);
        await waitForState(tab, "funnel", "exited");
        await tab.waitFor(() => document.getElementById("funnel").dataset.differs !== undefined);
        return source;
    } catch {
        return null;
    }
}

export async function address(tab) {
    const source = await funnelAt(tab, 5);
    if (!source) return [`#funnel/edit/… with h = 5 ran nothing: ${JSON.stringify(await stateOf(tab, "funnel"))}`];
    const problems = [];
    if (await editorText(tab, "funnel") !== source) problems.push("#funnel/edit/… did not put its source in the editor");
    const small = hourglass(5);
    await inView(tab, "funnel");
    problems.push(...await compareScreen(tab, "funnel", Buffer.from(small.join("\n") + "\n"), "funnel with h = 5"));
    // Cell by cell against h = 10's picture, a cell past a row's end a blank.
    const own = hourglass(10);
    let differs = 0;
    for (let r = 0; r < own.length; r++)
        for (let x = 0; x < own[r].length; x++) differs += (small[r]?.[x] ?? " ") !== own[r][x];
    const shown = Number(await tab.evaluate(() => document.getElementById("funnel").dataset.differs));
    if (shown !== differs) problems.push(`funnel with h = 5: data-differs is ${shown}, not ${differs}`);
    const marks = await tab.evaluate(() => document.querySelectorAll("#funnel .differences span").length);
    if (marks !== differs) problems.push(`funnel with h = 5: ${marks} cells marked, not ${differs}`);

    // A picture bigger than the program's own is seen whole.
    if (!await funnelAt(tab, 30)) return [...problems, "#funnel/edit/… with h = 30 ran nothing"];
    const big = hourglass(30);
    await inView(tab, "funnel");
    problems.push(...await compareScreen(tab, "funnel", Buffer.from(big.join("\n") + "\n"), "funnel with h = 30"));
    const rows = await tab.evaluate(() => document.querySelectorAll("#funnel .xterm-rows > div").length);
    if (rows !== big.length + 1) problems.push(`funnel with h = 30: its terminal has ${rows} rows, not ${big.length + 1}`);
    // Every cell but the 21 by 21 of funnel's own picture is a blank there.
    let grown = 0;
    for (let r = 0; r < big.length; r++)
        for (let x = 0; x < big[r].length; x++) grown += (own[r]?.[x] ?? " ") !== big[r][x];
    const counted = Number(await tab.evaluate(() => document.getElementById("funnel").dataset.differs));
    if (counted !== grown) problems.push(`funnel with h = 30: data-differs is ${counted}, not ${grown}`);
    return problems;
}

// Replaces the text of NAME's editor by typing LINES, each after a fresh
// line at the top level.
async function typeProgram(tab, name, lines) {
    await tab.click(`#${name} .cm-content`);
    await tab.keys(["Control+a", "Backspace"]);
    for (const [i, line] of lines.entries()) await tab.keys(i ? ["Enter", "Home", line] : [line]);
}

export async function mistakes(tab) {
    const problems = [];
    await tab.evaluate(noteEditedRuns);
    await openEditor(tab, "apex");
    // From apex's own source, whatever an earlier try left kept.
    await tab.click("#apex .reset");
    await waitForState(tab, "apex", "exited").catch(() => {});
    // Its picture whole, as the terminal may draw it a few frames after the run.
    problems.push(...await compareScreen(tab, "apex", expected("apex"), "apex before its edit"));
    const before = await tab.evaluate(() => document.querySelector("#apex .xterm-rows").textContent);
    // The ';' after apex's half-width, taken away.
    const line = sourceOf("apex").split("\n").findIndex((text) => text.includes("const int h = 10;")) + 1;
    await tab.click("#apex .cm-content");
    await tab.keys(["Control+Home", ...Array(line - 1).fill("ArrowDown"), "End", "Backspace"]);
    await compileAndRun(tab, "apex");
    const listed = await tab.evaluate(() => [...document.querySelectorAll("#apex ol[data-diagnostics] li[data-line]")]
        .map((item) => [Number(item.dataset.line), item.textContent]));
    if (!listed.some(([at, said]) => at === line && said.includes("error: expected ';' at end of declaration")))
        problems.push(`a missing ';' on line ${line}: the compiler's list is ${JSON.stringify(listed)}`);
    const marked = await tab.evaluate(() => [...document.querySelectorAll("#apex .cm-line.marked-error")].map((l) => l.textContent));
    if (!marked.some((text) => text.includes("const int h = 10"))) problems.push(`the lines marked are ${JSON.stringify(marked)}`);
    const after = await tab.evaluate(() => document.querySelector("#apex .xterm-rows").textContent);
    if (after !== before) problems.push(`a failed compile changed the terminal from ${JSON.stringify(before)} to ${JSON.stringify(after)}`);

    // Programs that never end, silent or not, and one that aborts.
    for (const [what, program] of [["an endless loop", ["int main() { for (;;) {} }"]],
                                   ["endless output", ["#include <cstdio>", "int main() { for (;;) std::puts(\"more\"); }"]]]) {
        await typeProgram(tab, "apex", program);
        await compileAndRun(tab, "apex");
        await waitForState(tab, "apex", "running").catch(() => {});
        await sleep(1000);
        // Endless output grows the terminal to its most, 100 rows, moving
        // Stop down the page; a person clicks it once it stands still.
        if (program.length > 1)
            await tab.waitFor(() => document.querySelectorAll("#apex .xterm-rows > div").length === 100, [], 10000)
                .catch(() => problems.push(`${what}: the terminal did not grow to 100 rows`));
        const asked = Date.now();
        await tab.evaluate(() => document.title);
        if (Date.now() - asked > 500) problems.push(`the page took ${Date.now() - asked} ms to answer during ${what}`);
        await tab.click("#apex .stop");
        await waitForState(tab, "apex", "exited", 1000).catch(() => {});
        const [state, exit] = await stateOf(tab, "apex");
        if (state !== "exited" || exit !== "stopped") problems.push(`${what}, a second after Stop: ${state}, "${exit}"`);
    }
    await typeProgram(tab, "apex", ["#include <cstdlib>", "int main() { std::abort(); }"]);
    const started = await compileAndRun(tab, "apex");
    // The run has started once its worker has, and the last one's end is gone.
    await tab.waitFor((runs) => window.editedRuns.length > runs, [started], 5000).catch(() => {});
    await waitForState(tab, "apex", "exited").catch(() => {});
    const [, aborted] = await stateOf(tab, "apex");
    if (!aborted.startsWith("crashed: the program aborted")) problems.push(`abort() ended with "${aborted}"`);

    // A source over 100 KB, given as a link; and a link whose 30 KB unpack
    // to 30 MB, which must not be unpacked whole.
    const refused = async (what, source) => {
        await tab.evaluate(() => { document.querySelector("#apex [data-compile-status]").dataset.compileStatus = ""; });
        await tab.evaluate((to) => { location.hash = to; }, editAddress("apex", source));
        await tab.waitFor(() => document.querySelector("#apex [data-compile-status]").dataset.compileStatus === "refused",
                          [], 20000).catch(() => problems.push(`${what} was not refused`));
    };
    await refused("a source over 100 KB", `// ${"x".repeat(110 * 1024)}\nint main() {}\n`);
    await refused("a link that unpacks to 30 MB", `// ${" ".repeat(30e6)}\n`);
    // It says how far it unpacked before it stopped.
    const unpacked = Number(await tab.evaluate(() =>
        document.querySelector("#apex [data-compile-status]").textContent.match(/\d+/)?.[0]));
    if (!(unpacked < 2 ** 21)) problems.push(`a link that unpacks to 30 MB was unpacked to ${unpacked} bytes`);
    return problems;
}

export async function keeping(tab, { place }) {
    const problems = [];
    await openEditor(tab, "steeple");
    await tab.click("#steeple .cm-content");
    await tab.keys(["Control+End", "// mine"]);
    const typed = await editorText(tab, "steeple");
    await sleep(1000);
    const hash = await tab.evaluate(() => location.hash);
    if (!hash.startsWith("#steeple/edit/") || sourceOfAddress(hash) !== typed)
        problems.push(`a second after typing, the address is ${hash.slice(0, 40)}…, not the text's`);
    // A fresh load of the page, with no address.
    await tab.goto(place);
    const note = await tab.evaluate(() => document.querySelector("#steeple .kept")?.textContent);
    if (!note) problems.push("after a reload, steeple does not say its edit is kept");
    await openEditor(tab, "steeple");
    if (await editorText(tab, "steeple") !== typed) problems.push("after a reload, Edit does not give back the edit");
    // The program's own address plays its own run; Step through, the edit's.
    const listings = () => ["#steeple .listing:not(.edited-listing)", "#steeple .edited-listing", "#steeple .editor"]
        .map((selector) => document.querySelector(selector)?.getClientRects().length > 0);
    await tab.evaluate(() => { location.hash = "#steeple/step/3"; });
    await tab.waitFor(() => document.querySelector("#steeple .player"));
    const own = await tab.evaluate(listings);
    if (JSON.stringify(own) !== "[true,false,false]")
        problems.push(`#steeple/step/3 with steeple edited: its own listing, the edit's and the editor shown: ${JSON.stringify(own)}`);
    await tab.click("#steeple .close");
    await tab.click("#steeple .step-through");
    await tab.waitFor(() => document.querySelector("#steeple.stepping-edit .player"), [], COMPILED).catch(() => {});
    const edited = await tab.evaluate(listings);
    const shownText = await tab.evaluate(() => document.querySelector("#steeple .edited-listing")?.textContent);
    if (JSON.stringify(edited) !== "[false,true,false]" || shownText !== typed)
        problems.push(`Step through with steeple edited: its own listing, the edit's and the editor shown: ${JSON.stringify(edited)}`);
    await tab.click("#steeple .close");
    await tab.click("#steeple .reset");
    if (await editorText(tab, "steeple") !== sourceOf("steeple")) problems.push("Reset did not give back steeple's source");
    await tab.goto(place);
    if (await tab.evaluate(() => document.querySelector("#steeple .kept")))
        problems.push("after Reset and a reload, steeple still says an edit is kept");
    return problems;
}

export function narrow(tab, { browser, place }) {
    return phoneProblems(browser, place, "", (phone) => openEditor(phone, "wedge"), "wedge's editor open");
}

export async function fromDisk(tab) {
    await openEditor(tab, "hello");
    await tab.click("#hello .run");
    await tab.waitFor(() => document.querySelector("#hello [data-compile-status]").textContent, [], 10000).catch(() => {});
    const said = await tab.evaluate(() => document.querySelector("#hello [data-compile-status]").textContent);
    return /HTTP/.test(said) && said.includes("python3 -m http.server") ? [] : [`from disk, Run says "${said}"`];
}
