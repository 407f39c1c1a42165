// Compiling an edit in the page: one worker (compile_worker.js), started when
// first asked for and kept for the page's life, compiles for every section,
// one source at a time. A page opened from disk may not start it, nor fetch
// the compiler's files: compiling needs the page served over HTTP.
"use strict";

let compiler = null; // the worker, once started
const compiles = []; // what each compile asked for waits for, in the order asked

// Whether the page can compile where it is.
const canCompile = () => location.protocol !== "file:";

// Compiles SOURCE as the program at PATH in the repository. Answers with
// { program, said } (the program's bytes and what the compiler said), or
// { said } when it did not compile, or fails when the compiler could not
// run; FETCHED(done, total) is told how much of the compiler has come in
// while it is first fetched. With RECORD, the program records its run, and
// the answer has the table its recorder reads as well.
function compileSource(path, source, fetched, record = false) {
    if (!compiler) {
        compiler = new Worker(new URL("compile_worker.js", PAGE_FOLDER), { type: "module" });
        compiler.addEventListener("message", ({ data }) => {
            if (data.fetched !== undefined) {
                compiles[0]?.fetched(data.fetched, data.total);
                return;
            }
            const { resolve, reject } = compiles.shift();
            if (data.broke) reject(new Error(text("compiler_broke", { reason: data.broke })));
            else resolve(data);
        });
        compiler.addEventListener("error", (event) => {
            for (const { reject } of compiles.splice(0)) reject(new Error(text("compiler_broke", { reason: event.message })));
            compiler = null;
        });
    }
    return new Promise((resolve, reject) => {
        compiles.push({ resolve, reject, fetched });
        compiler.postMessage({ path, source, record });
    });
}
