// The compiler's files, kept in the browser, each group given a tab with the
// page open over HTTP:
//   keptCompiler  in a browser of its own, where an earlier visit left the
//                 compiler's sysroot kept but changed, and an older
//                 compiler's file kept too, and in another where it left
//                 its module kept but cut short: an edit of hello still
//                 compiles and writes hello's bytes, and what is kept is
//                 then the page's own files, whole, the older one's gone;
//   keepsNothing  in Firefox's private browsing, with room to keep a
//                 megabyte, so that the compiler cannot be kept, an edit of
//                 hello compiles and runs all the same.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";
import { deflateRawSync } from "node:zlib";

import { launch } from "./browsers.mjs";
import { compareScreen, expected, inView, waitForState } from "./section.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
const COMPILED = 180000;
const hello = `${readFileSync(join(ROOT, "greetings", "hello.cpp"), "utf-8")}// kept\n`;
const address = `#hello/edit/${deflateRawSync(Buffer.from(hello)).toString("base64url")}`;

// In the page: leaves the compiler's files kept as a bad earlier visit
// would have, as HOW says: its sysroot changed, and an older compiler's
// file kept under another name; or its module cut short.
async function spoilKept(how) {
    const name = document.documentElement.dataset.compiler;
    const kept = await caches.open(name);
    const file = (path) => new URL(`compiler/${path}`, location.href).href;
    if (how === "changed") {
        const sysroot = new Uint8Array(await (await fetch(file("llvm-resources.tar"))).arrayBuffer());
        sysroot[sysroot.length / 2] ^= 0xff;
        await kept.put(file("llvm-resources.tar"), new Response(sysroot));
        await (await caches.open("textpictures-compiler-0000000000000000")).put(file("old"), new Response("old"));
    } else {
        const module = await (await fetch(file("llvm.core.wasm"))).arrayBuffer();
        await kept.put(file("llvm.core.wasm"), new Response(module.slice(0, module.byteLength / 2),
                                                            { headers: { "Content-Type": "application/wasm" } }));
    }
}

// In the page: what is kept, as [cache, file, bytes, SHA-256].
async function keptFiles() {
    const found = [];
    const hex = (digest) => [...new Uint8Array(digest)].map((byte) => byte.toString(16).padStart(2, "0")).join("");
    for (const name of await caches.keys()) {
        const cache = await caches.open(name);
        for (const request of await cache.keys()) {
            const bytes = await (await cache.match(request)).arrayBuffer();
            found.push([name, request.url.split("/").at(-1), bytes.byteLength, hex(await crypto.subtle.digest("SHA-256", bytes))]);
        }
    }
    return found;
}

// Opens hello's edit in TAB, and answers the problems with its run.
async function runHello(tab, what) {
    await tab.evaluate((to) => { location.hash = to; }, address);
    try {
        await tab.waitFor(() => ["done", "failed", "broken"].includes(
            document.querySelector("#hello [data-compile-status]")?.dataset.compileStatus), [], COMPILED);
        await waitForState(tab, "hello", "exited", 20000);
    } catch {
        return [`${what}: hello's edit did not compile and run: ` +
                `"${await tab.evaluate(() => document.querySelector("#hello [data-compile-status]")?.textContent)}"`];
    }
    const [status, exit] = await tab.evaluate(() => [
        document.querySelector("#hello [data-compile-status]").dataset.compileStatus,
        document.querySelector("#hello .exit").textContent]);
    if (status !== "done" || exit !== "exit status 0") return [`${what}: hello's edit ${status}, "${exit}"`];
    await inView(tab, "hello");
    return compareScreen(tab, "hello", expected("hello"), `${what}, hello's edit`);
}

export async function keptCompiler(tab, { browser, place }) {
    const problems = [];
    for (const how of ["changed", "cut short"]) problems.push(...await spoiltAndKept(browser, place, how));
    return problems;
}

// In a browser of its own, where the kept files were spoilt as HOW says.
async function spoiltAndKept(browser, place, how) {
    const fresh = await launch(browser);
    try {
        await fresh.goto(place);
        await fresh.evaluate(spoilKept, how);
        const problems = await runHello(fresh, `with a kept file ${how}`);
        const { kept } = await fresh.evaluate(() => fetch("compiler/manifest.json").then((response) => response.json()));
        const wanted = Object.entries(kept.files).map(([file, { size, sha256 }]) => [kept.name, file, size, sha256])
            .sort((a, b) => a[1].localeCompare(b[1]));
        // Kept once the compile is done, as the compiler's worker finds the time.
        let found = [];
        for (const end = Date.now() + 30000; Date.now() < end; await new Promise((done) => setTimeout(done, 500))) {
            found = (await fresh.evaluate(keptFiles)).sort((a, b) => a[1].localeCompare(b[1]));
            if (JSON.stringify(found) === JSON.stringify(wanted)) break;
        }
        if (JSON.stringify(found) !== JSON.stringify(wanted))
            problems.push(`with a kept file ${how}, kept after the compile: ${JSON.stringify(found.map((file) => file.slice(1, 3)))}, ` +
                          `not ${JSON.stringify(wanted.map((file) => file.slice(1, 3)))}, or not the page's own`);
        return problems;
    } finally {
        await fresh.close();
    }
}

export async function keepsNothing(tab, { browser, place }) {
    const privately = await launch(browser, { privately: true });
    try {
        await privately.goto(place);
        const problems = await runHello(privately, "in private browsing, keeping nothing");
        const kept = await privately.evaluate(keptFiles).catch(() => []);
        if (kept.some(([, , size]) => size > 1 << 20)) problems.push(`in private browsing, kept ${JSON.stringify(kept)}`);
        return problems;
    } finally {
        await privately.close();
    }
}
