// A program compiled from an edit, run in a worker of its own: one that never
// ends, or never waits, holds up only this worker, which Stop ends at once.
// It runs on the page's own system interface (wasi.js), as the page's own
// programs do; its writes and reads cross to the page, which has its
// terminal and its line discipline. The page starts it with { program, name }
// (the program's bytes) and answers its { write } with { taken } once the
// terminal has taken what came before, and its { read } with { typed }. It
// says { exit } with the exit status when the program ends, or { crash }
// with the kind of trap that ended it.
"use strict";
importScripts("wasi.js");

let writing = false; // a write is with the page, not yet taken
let handOn = null; // the write waiting for that one to be taken
let answer = null; // the read waiting for a typed line

// A write is handed to the page at once when the page has taken the one
// before, and otherwise once it has; so no more than one is ever ahead of
// the terminal.
const io = {
    write(data) {
        const send = () => {
            writing = true;
            postMessage({ write: data }, [data.buffer]);
        };
        if (!writing) return send();
        return new Promise((resolve) => {
            handOn = () => {
                send();
                resolve();
            };
        });
    },
    read(most) {
        postMessage({ read: most });
        return new Promise((resolve) => (answer = resolve));
    },
};

// What kind of trap ended the program, from what the engine says.
function crashOf(error) {
    const said = String(error?.message ?? error);
    if (error instanceof RangeError || /recursion|call stack/i.test(said)) return ["stack", said];
    if (/unreachable/i.test(said)) return ["abort", said];
    if (/out of bounds|memory access/i.test(said)) return ["memory", said];
    if (/divi(de|sion) by zero|integer divide/i.test(said)) return ["divide", said];
    return ["other", said];
}

async function run(bytes, name) {
    try {
        const module = await WebAssembly.compile(bytes);
        postMessage({ exit: await startProgram(module, name, io).finished });
    } catch (error) {
        postMessage({ crash: crashOf(error) });
    }
}

addEventListener("message", ({ data }) => {
    if (data.program) {
        run(data.program, data.name);
    } else if (data.taken) {
        writing = false;
        const next = handOn;
        handOn = null;
        next?.();
    } else if (data.typed) {
        const give = answer;
        answer = null;
        give(data.typed);
    }
});
