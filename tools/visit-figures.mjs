// The figures of a reader who comes back, for tools/web-benchmark: in each
// engine, in one profile, an edit of funnel opened by its address, from the
// address to its run's picture with its changed cells counted: on a fresh
// profile, fetching the compiler; again in the same tab (warm); after a
// reload; and in a new tab. With the bytes of the compiler the first visit
// took, as served, and where the compiler's time went on each (the compiler
// answers when it was ready, had compiled, and had made the program able to
// pause, in ms from the compile's start).
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { deflateRawSync } from "node:zlib";

import { launch } from "../tests/web/browsers.mjs";

const ROOT = join(import.meta.dirname, "..");
const funnel = readFileSync(join(ROOT, "raster", "funnel.cpp"), "utf-8");
const address = (h) => `#funnel/edit/${deflateRawSync(Buffer.from(funnel.replace("const int h = 10;", `const int h = ${h};`)))
    .toString("base64url")}`;

// In the page: notes when funnel's edited run has been counted, as it
// happens, however late the page is asked.
function watch() {
    window.counted = null;
    const funnel = document.getElementById("funnel");
    const note = () => {
        if (funnel.dataset.differs !== undefined && funnel.querySelector("[data-compile-times]")) {
            window.counted ??= performance.now();
        }
    };
    new MutationObserver(note).observe(funnel, { attributes: true, subtree: true });
    note();
}

// The ms from the page's start, or from START, to funnel's edited run
// counted, and the compiler's times of it; null if it never came.
async function finished(tab, start = 0) {
    try {
        await tab.waitFor(() => window.counted, [], 180000);
    } catch {
        return null;
    }
    return tab.evaluate((from) => [window.counted - from,
        JSON.parse(document.querySelector("#funnel [data-compile-times]").dataset.compileTimes)], start);
}

// The four visits in ENGINE, the page served by SERVE().
export async function visitFigures(engine, serve) {
    const server = await serve();
    const tab = await launch(engine);
    const place = (h) => ({ url: `${server.url}${address(h)}`, folder: server.url });
    const figures = {};
    try {
        await tab.goto(place(4));
        await tab.evaluate(watch);
        figures.first = await finished(tab);
        figures.fetched = server.served.filter(([path]) => path.startsWith("/compiler/"))
            .reduce((sum, [, bytes]) => sum + bytes, 0);
        const start = await tab.evaluate((to, watching) => {
            delete document.getElementById("funnel").dataset.differs;
            delete document.querySelector("#funnel [data-compile-times]").dataset.compileTimes;
            (0, eval)(`(${watching})`)();
            const now = performance.now();
            location.hash = to;
            return now;
        }, address(5), watch.toString());
        figures.warm = await finished(tab, start);
        await tab.evaluate((to) => history.replaceState(null, "", to), address(6));
        await tab.reload();
        await tab.evaluate(watch);
        figures.reload = await finished(tab);
        const other = await tab.newTab();
        try {
            await other.goto(place(7));
            await other.evaluate(watch);
            figures.newTab = await finished(other);
        } finally {
            await other.close();
        }
    } finally {
        await tab.close();
        server.close();
    }
    return figures;
}

const seconds = (figure) => (figure ? `${(figure[0] / 1000).toFixed(1)} s` : "failed");
const parts = (figure) => (figure ? `(the compiler ready ${figure[1].ready} ms into it, compiled at ` +
                                    `${figure[1].compiled}, pausable at ${figure[1].pausable})` : "");

export function printVisitFigures(engine, { first, fetched, warm, reload, newTab }) {
    const times = (figure) => (figure && warm ? ` ${(figure[0] / warm[0]).toFixed(1)} times warm` : "");
    console.log(`${engine.padEnd(9)} first ${seconds(first)}, fetching ${fetched} bytes of the compiler; ` +
                `warm ${seconds(warm)}; after a reload ${seconds(reload)},${times(reload)}; ` +
                `in a new tab ${seconds(newTab)},${times(newTab)}`);
    for (const [visit, figure] of [["first", first], ["warm", warm], ["reload", reload], ["new tab", newTab]])
        console.log(`          ${visit.padEnd(8)} ${parts(figure)}`);
}
