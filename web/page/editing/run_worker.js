// A program compiled from an edit, run in a worker of its own: one that never
// ends, or never waits, holds up only this worker, which Stop ends at once.
// It runs on the page's own system interface (wasi.js), as the page's own
// programs do; its writes and reads cross to the page, which has its
// terminal and its line discipline. The page starts it with { program, name }
// (the program's bytes) and answers its { write } with { taken }, the bytes
// taken, once the terminal has taken them, and its { read } with { typed }. It
// says { exit } with the exit status when the program ends, or { crash }
// with the kind of trap that ended it.
//
// A program instrumented to record its run (instrument.js) is started with
// { program, name, record }, record being the instrumentation's table: the
// recorder (recorder.js) then writes its run, and the worker hands the page
// its finished steps as { steps, facts } some thousands at a time, with the
// facts they refer to (the recording's files, texts and functions), and
// ends with { facts, capped }, capped telling whether the recording stopped
// at its cap, before the exit or crash. Such a
// run sleeps no time, and hands its writes to the page as they come, a
// batch at a time, for its steps are capped and so are the bytes they write.
"use strict";
importScripts("wasi.js");

// The most steps a recording holds: 100,000 steps of a program that writes a
// line a step, as the player keeps them with what it needs to go to any of
// them at once, take about 6 MB of the page's memory.
const RECORDED_STEPS = 100000;

// The bytes a run may have with the page that its terminal has not yet
// taken: enough that a program writing line by line never waits on the
// terminal, few enough that one writing without end keeps pace with it.
const AHEAD = 65536;

let ahead = 0; // the bytes with the page, not yet taken
let handOn = null; // the write waiting for room
let answer = null; // the read waiting for a typed line

// A write is handed to the page at once while there is room ahead of the
// terminal, and otherwise once the terminal has taken enough.
const io = {
    write(data) {
        const send = () => {
            ahead += data.length;
            postMessage({ write: data }, [data.buffer]);
        };
        if (ahead < AHEAD) return send();
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

// The io of a recorded run: every write and read is told to the recorder;
// writes go to the page in batches, without waiting for the terminal.
function recordingIo(recorder) {
    let batch = [];
    let size = 0;
    const flush = () => {
        if (!size) return;
        const data = new Uint8Array(size);
        let at = 0;
        for (const part of batch) {
            data.set(part, at);
            at += part.length;
        }
        batch = [];
        size = 0;
        postMessage({ write: data }, [data.buffer]);
    };
    return {
        flush,
        write(data) {
            recorder.write(data);
            batch.push(data);
            size += data.length;
            if (size >= 65536) flush();
        },
        read(most) {
            flush();
            return io.read(most).then((typed) => {
                recorder.read(typed);
                return typed;
            });
        },
    };
}

async function run(bytes, name, table) {
    let recorder = null;
    let recorded = io;
    let options = {};
    if (table) {
        importScripts("recorder.js");
        // Each batch of steps comes with the facts they refer to, so that
        // those the page has are a recording even if the run is stopped.
        recorder = makeRecorder(table, { cap: RECORDED_STEPS,
                                         send: (steps) => postMessage({ steps, facts: recorder.facts() }) });
        recorded = recordingIo(recorder);
        options = { imports: recorder.imports, attach: recorder.attach, sleeps: false };
    }
    let end;
    try {
        const module = await WebAssembly.compile(bytes);
        end = { exit: await startProgram(module, name, recorded, options).finished };
    } catch (error) {
        // A recording at its cap stops the program, as Stop would.
        end = recorder && error === CAPPED ? { exit: STOPPED } : { crash: crashOf(error) };
    }
    if (recorder) {
        const capped = end.exit === STOPPED;
        recorded.flush();
        recorder.finish(capped);
        postMessage({ facts: recorder.facts(), capped });
    }
    postMessage(end);
}

addEventListener("message", ({ data }) => {
    if (data.program) {
        run(data.program, data.name, data.record);
    } else if (data.taken) {
        ahead -= data.taken;
        if (ahead >= AHEAD) return;
        const next = handOn;
        handOn = null;
        next?.();
    } else if (data.typed) {
        const give = answer;
        answer = null;
        give(data.typed);
    }
});
