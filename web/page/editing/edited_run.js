// An edited program's run: the program the page compiled from an edit runs
// in a worker of its own (run_worker.js), so that the page answers whatever
// it does, and Stop ends it at once however it is stuck. To the section's
// terminal it is a program like its own (startProgram in wasi.js): its
// writes and reads come from the worker and go back to it.
"use strict";

// Starts the compiled PROGRAM (its bytes) under NAME, with io as
// startProgram takes it. Returns { finished, stop }: finished is a promise
// of the exit status, or STOPPED once stop() has been called, and fails
// with what ended the program when it crashed. A program made to record its
// run is given its instrumentation's TABLE, and the answer has its
// recording as well: { steps, capped } and its facts, the steps filled in as
// they come, so that a run stopped keeps those recorded until then.
function startEditedProgram(program, name, io, table = null) {
    const worker = new Worker(new URL("run_worker.js", PAGE_FOLDER));
    let settle;
    const finished = new Promise((resolve, reject) => (settle = { resolve, reject }));
    const end = (how, value) => {
        worker.terminate();
        settle[how](value);
    };
    const crashed = (reason) => new Error(text("crashed", { reason }));
    const recording = { steps: [], capped: false };
    worker.addEventListener("message", ({ data }) => {
        if (data.steps) {
            for (const step of data.steps) recording.steps.push(step);
            Object.assign(recording, data.facts);
        } else if (data.facts) {
            Object.assign(recording, data.facts, { capped: data.capped });
        } else if (data.write) {
            const length = data.write.length;
            Promise.resolve(io.write(data.write)).then(() => worker.postMessage({ taken: length }));
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
    worker.postMessage({ program: program.slice(), name, record: table });
    return { finished, stop: () => end("resolve", STOPPED), ...(table ? { recording } : {}) };
}
