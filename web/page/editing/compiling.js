// Compiling an edit in the page: one worker (compile_worker.js), started when
// first asked for and kept for the page's life, compiles for every section,
// one source at a time. A page opened from disk may not start it, nor fetch
// the compiler's files: compiling needs the page served over HTTP. The
// compiler is made ready before its first compile when a compile is sure
// to come (an edit's address), or when its files are kept in the browser
// and cost nothing to take in (an editor opened).
"use strict";

let compiler = null; // the worker, once started
const compiles = []; // what each compile asked for waits for, in the order asked

// Whether the page can compile where it is.
const canCompile = () => location.protocol !== "file:";

// Makes the compiler ready, if the page can compile; with KEPT, only if
// its files are kept in the browser already (under the name the page
// carries on its root).
async function warmCompiler(kept = false) {
    if (!canCompile()) return;
    if (kept) {
        try {
            if (!(await globalThis.caches.has(document.documentElement.dataset.compiler))) return;
        } catch {
            return; // a browser that keeps nothing
        }
    }
    compilerWorker().postMessage({ warm: true });
}

// The port to the compiler's worker, started if need be: a shared worker,
// one for every tab of this page, where the browser has them, so that a new
// tab finds the compiler ready, and kept a while after the last tab has
// gone where the browser allows it (extendedLifetime), so that a reload
// finds it ready too. It is named after the page's compiler and its scripts
// (the root's data-compiler-worker), so that a tab of a page built
// otherwise never talks to another's.
function compilerWorker() {
    if (!compiler) {
        const url = new URL("compile_worker.js", PAGE_FOLDER);
        const name = document.documentElement.dataset.compilerWorker;
        const worker = typeof SharedWorker === "function"
            ? new SharedWorker(url, { type: "module", name, extendedLifetime: true })
            : new Worker(url, { type: "module" });
        compiler = worker.port ?? worker;
        compiler.addEventListener("message", ({ data }) => {
            if (data.fetched !== undefined) {
                compiles[0]?.fetched(data.fetched, data.total);
                return;
            }
            const { resolve, reject } = compiles.shift();
            if (data.broke) reject(new Error(text("compiler_broke", { reason: data.broke })));
            else resolve(data);
        });
        compiler.start?.();
        worker.addEventListener("error", (event) => {
            for (const { reject } of compiles.splice(0)) reject(new Error(text("compiler_broke", { reason: event.message })));
            compiler = null;
        });
    }
    return compiler;
}

// Compiles SOURCE as the program at PATH in the repository. Answers with
// { program, said } (the program's bytes and what the compiler said), or
// { said } when it did not compile, or fails when the compiler could not
// run; FETCHED(done, total) is told how much of the compiler has come in
// while it is first fetched. With RECORD, the program records its run, and
// the answer has the table its recorder reads as well.
function compileSource(path, source, fetched, record = false) {
    const worker = compilerWorker();
    return new Promise((resolve, reject) => {
        compiles.push({ resolve, reject, fetched });
        worker.postMessage({ path, source, record });
    });
}
