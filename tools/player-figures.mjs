// The figures of the players, for tools/web-benchmark, in Chromium, with the
// page served by SERVE(): the main-thread work of opening a player, with its
// calls view, on each program's own run, to its first paint; and of
// stepping through an edited program:
//   - in one tab, once Run has loaded the compiler: the first Step through
//     of an edit of funnel (h = 5), nothing recorded yet, and then a warm
//     one (h = 6), each from the press to the player at step 1;
//   - funnel with h = 30: its steps, the time to its player, and the bytes
//     its recording holds, as JSON;
//   - a program that writes without end: the steps recorded at the cap,
//     the time to its player, what the page's memory grew by, how long
//     going to its last step takes the first time, and a step back from
//     there, and the longest task of the page's thread while it recorded
//     and while it played.
import { readFileSync } from "node:fs";
import { join } from "node:path";

import { launch } from "../tests/web/browsers.mjs";
import { inView } from "../tests/web/section.mjs";

const ROOT = join(import.meta.dirname, "..");
const funnel = readFileSync(join(ROOT, "raster", "funnel.cpp"), "utf-8");
const ENDLESS = "#include <cstdio>\nint main() { for (;;) std::puts(\"more\"); }\n";

// In the page: puts SOURCE in funnel's editor, presses Step through and
// answers the milliseconds to the player at step 1, its steps, the bytes of
// its recording as JSON, and the longest task of the page's thread meanwhile.
function stepThrough(name, source) {
    const section = document.getElementById(name);
    const view = CodeMirror.EditorView.findFromDOM(section.querySelector(".cm-editor"));
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: source } });
    section.querySelector(".player .close")?.click();
    let longest = 0;
    const tasks = new PerformanceObserver((list) => {
        for (const task of list.getEntries()) longest = Math.max(longest, task.duration);
    });
    tasks.observe({ type: "longtask" });
    return new Promise((resolve) => {
        const start = performance.now();
        const check = () => {
            const next = section.querySelector(".player .next");
            if (!section.classList.contains("stepping-edit") || !next) return;
            observer.disconnect();
            next.click();
            const recording = editedRuns.get(section).recording;
            setTimeout(() => {
                tasks.disconnect();
                resolve([performance.now() - start, recording.steps.length, JSON.stringify(recording).length, longest]);
            }, 500);
        };
        const observer = new MutationObserver(check);
        observer.observe(section, { attributes: true, subtree: true, childList: true });
        section.querySelector(".step-through").click();
    });
}

// In the page: the milliseconds that going to the last step of NAME's
// player first takes, and then a step back from there, and the longest task
// of the page's thread over a second of playing from its start.
function stepBack(name) {
    const player = document.querySelector(`#${name} .player`);
    const slider = player.querySelector('input[type="range"]');
    const start = performance.now();
    slider.value = slider.max;
    slider.dispatchEvent(new Event("input", { bubbles: true }));
    const last = performance.now() - start;
    player.querySelector(".previous").click();
    const back = performance.now() - start - last;
    let longest = 0;
    const tasks = new PerformanceObserver((list) => {
        for (const task of list.getEntries()) longest = Math.max(longest, task.duration);
    });
    return new Promise((resolve) => setTimeout(() => {
        tasks.observe({ type: "longtask" });
        slider.value = 0;
        slider.dispatchEvent(new Event("input", { bubbles: true }));
        player.querySelector("select").value = "250";
        player.querySelector(".play").click();
        setTimeout(() => {
            player.querySelector(".play").click();
            tasks.disconnect();
            resolve([last, back, longest]);
        }, 1000);
    }, 100));
}

// In the page: the milliseconds from opening NAME's player, its scripts
// and recording loaded, to the frame that first paints it.
function openPlayerNow(name) {
    const section = document.getElementById(name);
    const start = performance.now();
    showPlayer(section, recordings[name], { step: 0 });
    return new Promise((resolve) => requestAnimationFrame(() => resolve(performance.now() - start)));
}

// Each program's player, opened on its own run with its calls view: the
// milliseconds to its first paint, and its steps and calls.
export async function openingFigures(serve, names) {
    const server = await serve();
    const tab = await launch("chromium");
    const figures = {};
    try {
        await tab.goto({ url: server.url, folder: server.url });
        for (const name of names) {
            await tab.evaluate((id) => Promise.all([loadRecording(id), loadScript("texts.js"), loadScript("recording.js"),
                                                    loadScript("calls.js"), loadScript("player.js"),
                                                    loadStyle("player.css")]), name);
            const ms = await tab.evaluate(openPlayerNow, name);
            const [steps, calls] = await tab.evaluate((id) => [recordings[id].steps.length,
                document.querySelectorAll(`#${id} [role=treeitem]`).length], name);
            figures[name] = { ms, steps, calls };
        }
    } finally {
        await tab.close();
        server.close();
    }
    return figures;
}

export function printOpeningFigures(figures) {
    const largest = Object.entries(figures).sort(([, a], [, b]) => b.steps - a.steps)[0];
    console.log(`opening a player with its calls view, to its first paint, in Chromium: ` +
                Object.entries(figures).map(([name, { ms }]) => `${name} ${Math.round(ms)}`).join(", ") +
                ` ms; the largest recording, ${largest[0]}'s ${largest[1].steps} steps, ${Math.round(largest[1].ms)} ms ` +
                `(limit 200 ms), its view showing ${largest[1].calls} of its calls at first`);
}

export async function recordingFigures(serve) {
    const server = await serve();
    const tab = await launch("chromium");
    const heap = async () => (await tab.metrics()).JSHeapUsedSize;
    try {
        await tab.goto({ url: server.url, folder: server.url });
        for (const name of ["funnel", "apex"]) {
            await inView(tab, name);
            await tab.click(`#${name} .edit`);
            await tab.waitFor((id) => document.querySelector(`#${id} [contenteditable="true"]`), [name]);
        }
        await tab.click("#funnel .run");
        await tab.waitFor(() => document.querySelector("#funnel [data-compile-status]").dataset.compileStatus === "done",
                          [], 180000);
        const edit = (h) => funnel.replace("const int h = 10;", `const int h = ${h};`);
        const first = await tab.evaluate(stepThrough, "funnel", edit(5));
        const warm = await tab.evaluate(stepThrough, "funnel", edit(6));
        const large = await tab.evaluate(stepThrough, "funnel", edit(30));
        await inView(tab, "apex");
        // The memory the player needs: the recording, and the screens and
        // calls it keeps to reach any step at once, all kept once it has
        // been at the last step.
        const before = await heap();
        const endless = await tab.evaluate(stepThrough, "apex", ENDLESS);
        const [last, back, playing] = await tab.evaluate(stepBack, "apex");
        const grown = (await heap()) - before;
        return { first, warm, large, endless, grown, last, back, playing };
    } finally {
        await tab.close();
        server.close();
    }
}

const seconds = (ms) => `${(ms / 1000).toFixed(1)} s`;

export function printRecordingFigures({ first, warm, large, endless, grown, last, back, playing }) {
    console.log("stepping through an edited funnel in Chromium, from Step through to the player at step 1:");
    console.log(`  the compiler loaded, nothing recorded yet (h = 5): ${seconds(first[0])}, ${first[1]} steps (limit 6 s)`);
    console.log(`  warm (h = 6): ${seconds(warm[0])}, ${warm[1]} steps (limit 4 s)`);
    console.log(`  h = 30: ${seconds(large[0])}, ${large[1]} steps, the recording ${large[2]} bytes as JSON`);
    console.log(`  a program that writes without end: ${seconds(endless[0])}, ${endless[1]} steps recorded, ` +
                `the page's memory ${(grown / 1e6).toFixed(1)} MB more with the player at its end; to the last step ` +
                `${Math.round(last)} ms the first time, then a step back ${back.toFixed(1)} ms ` +
                `(limit 100 ms); longest task of the page's thread recording ${Math.round(endless[3])} ms, ` +
                `playing ${Math.round(playing)} ms (limit 200 ms)`);
}
