// An edited program's run: the program the page compiled from an edit runs
// in a worker of its own (run_worker.js), so that the page answers whatever
// it does, and Stop ends it at once however it is stuck. To the section's
// terminal it is a program like its own (startProgram in wasi.js): its
// writes and reads come from the worker and go back to it.
"use strict";

// Starts the compiled PROGRAM (its bytes) under NAME, with io as
// startProgram takes it. Returns { finished, stop }: finished is a promise
// of the exit status, or STOPPED once stop() has been called, and fails
// with what ended the program when it crashed.
function startEditedProgram(program, name, io) {
    const worker = new Worker(new URL("run_worker.js", PAGE_FOLDER));
    let settle;
    const finished = new Promise((resolve, reject) => (settle = { resolve, reject }));
    const end = (how, value) => {
        worker.terminate();
        settle[how](value);
    };
    const crashed = (reason) => new Error(text("crashed", { reason }));
    worker.addEventListener("message", ({ data }) => {
        if (data.write) {
            Promise.resolve(io.write(data.write)).then(() => worker.postMessage({ taken: true }));
        } else if (data.read !== undefined) {
            Promise.resolve(io.read(data.read)).then((typed) => worker.postMessage({ typed }));
        } else if (data.exit !== undefined) {
            end("resolve", data.exit);
        } else if (data.crash) {
            const [kind, said] = data.crash;
            end("reject", crashed(kind === "other" ? said : text(`crash_${kind}`)));
        }
    });
    worker.addEventListener("error", (event) => end("reject", crashed(event.message)));
    worker.postMessage({ program: program.slice(), name });
    return { finished, stop: () => end("resolve", STOPPED) };
}
