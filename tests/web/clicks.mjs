// No click lost, each check in a browser of its own over HTTP:
//   clicks   with an edit of funnel kept (h = 4), Edit and then Run pressed
//            at once run that edit, as the editor, still loading, will
//            hold it; Run pressed while the page's scripts are still on
//            their way (served a second and a half late) runs funnel once
//            they have come; and Run pressed twice while a compile is
//            under way runs the edit once, and a Step through pressed
//            meanwhile records it after, rather than being dropped.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";

import { launch, serve } from "./browsers.mjs";
import { compareScreen, inView, sleep, waitForState } from "./section.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
const COMPILED = 180000;
const funnel = readFileSync(join(ROOT, "raster", "funnel.cpp"), "utf-8");

// funnel's hourglass for half-width H, as its predicate draws it.
function hourglass(h) {
    const inside = (x, y) => (x <= h && y >= -h ? y >= -x : x <= h ? y <= x - 2 * h : y >= -h ? y >= x - 2 * h : y <= -x);
    return Array.from({ length: 2 * h + 1 }, (_, r) =>
        Array.from({ length: 2 * h + 1 }, (_, x) => (inside(x, -r) ? "*" : " ")).join("")).join("\n") + "\n";
}

async function inBrowser(browser, place, check) {
    const tab = await launch(browser);
    try {
        await tab.goto(place);
        return await check(tab);
    } finally {
        await tab.close();
    }
}

// The edited run's end, once its compile is done and its terminal shows it.
async function editedRunShown(tab, what, bytes) {
    try {
        await tab.waitFor(() => document.querySelector("#funnel [data-compile-status]")?.dataset.compileStatus === "done",
                          [], COMPILED);
        await tab.waitFor(() => document.getElementById("funnel").dataset.differs !== undefined, [], 20000);
    } catch {
        return [`${what}: no edit of funnel ran`];
    }
    await inView(tab, "funnel");
    return compareScreen(tab, "funnel", Buffer.from(bytes), what);
}

export async function clicks(tab, { browser, place }) {
    const problems = [];
    problems.push(...await inBrowser(browser, place, async (fresh) => {
        await fresh.evaluate((source) => localStorage.setItem("textpictures:edit:funnel", source),
                             funnel.replace("const int h = 10;", "const int h = 4;"));
        await fresh.goto(place);
        await inView(fresh, "funnel");
        await waitForState(fresh, "funnel", "exited");
        await fresh.evaluate(() => {
            document.querySelector("#funnel .edit").click();
            document.querySelector("#funnel .run").click();
        });
        return editedRunShown(fresh, "Edit and Run pressed at once, with h = 4 kept", hourglass(4));
    }));

    // The page's scripts, served late: hello's Run pressed as soon as it
    // shows, while hello is far below the view, where nothing else starts it.
    const late = await serve(undefined, { slow: /\/(page|step_through|editing)\.js$/ });
    const fresh = await launch(browser);
    try {
        const going = fresh.goto({ url: late.url, folder: late.url });
        let pressed = false;
        for (const end = Date.now() + 10000; !pressed && Date.now() < end; await sleep(20))
            pressed = await fresh.evaluate(() => Boolean(document.querySelector("#hello .run")?.click() ?? false)
                                           || Boolean(document.querySelector("#hello .run"))).catch(() => false);
        await going;
        const loading = await fresh.evaluate(() => document.readyState);
        await waitForState(fresh, "hello", "exited").catch(() => {});
        const [state] = await fresh.evaluate(() => [document.getElementById("hello").dataset.state]);
        if (!pressed || state !== "exited") problems.push(`Run pressed before the scripts came: hello ${state} (${loading})`);
    } finally {
        await fresh.close();
        late.close();
    }

    // Run twice, and Step through, while the first compile is under way.
    await tab.evaluate(() => {
        window.runWorkers = 0;
        const Original = Worker;
        window.Worker = function (url, options) {
            if (String(url).endsWith("run_worker.js")) window.runWorkers++;
            return new Original(url, options);
        };
    });
    await inView(tab, "funnel");
    await tab.evaluate(() => document.querySelector('#funnel .edit[aria-pressed="false"]')?.click());
    await tab.waitFor(() => document.querySelector('#funnel [contenteditable="true"]'));
    await tab.evaluate((source) => {
        const view = CodeMirror.EditorView.findFromDOM(document.querySelector("#funnel .cm-editor"));
        view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: source } });
        document.querySelector("#funnel [data-compile-status]").dataset.compileStatus = "";
        delete document.getElementById("funnel").dataset.differs;
        document.querySelector("#funnel .run").click();
        document.querySelector("#funnel .run").click();
        document.querySelector("#funnel .step-through").click();
    }, funnel.replace("const int h = 10;", "const int h = 3;"));
    await tab.waitFor(() => document.querySelector("#funnel.stepping-edit .player"), [], COMPILED)
        .catch(() => problems.push("Step through pressed while Run's compile was under way opened no player"));
    const runs = await tab.evaluate(() => window.runWorkers);
    if (runs !== 2) problems.push(`Run pressed twice and Step through: ${runs} runs, not one and one recorded`);
    await tab.evaluate(() => document.querySelector("#funnel .close")?.click());
    return problems;
}
