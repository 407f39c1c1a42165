// The recorder: the hooks a program instrumented by instrument.js calls as
// it runs, which write its run in the form the player reads (the same as
// the build-time recording's; see recording.js). A step runs from the start
// of one line to the start of the next, to the entry of one of the
// program's functions, or to a return into the middle of a line; a line
// that starts again without another between (a loop on one line) is a new
// step too. After each step it notes the calls under way, each with its
// arguments and the locals whose declarations have run, read from the
// program's memory; what a call that returned gave back; the bytes the
// step wrote, and the input it read; and, in a program with a canvas, the
// step that stored the canvas cell last read by a step that wrote.
//
// makeRecorder(table, { cap, send }) answers { imports, attach, write,
// read, finish }: imports.record are the hooks; attach(memory) is called
// once the program has its memory; write(bytes) and read(bytes) are told
// what the program writes and reads; finish() ends the recording. Finished
// steps go to send(steps) some thousands at a time. The recording stops
// once it holds cap steps: the hook that would begin the next one throws
// CAPPED.
"use strict";

const CAPPED = "capped";

function makeRecorder(table, { cap, send, chunk = 4096 }) {
    let memory = null;
    let view = null;
    const data = () => (view?.buffer === memory.buffer ? view : (view = new DataView(memory.buffer)));
    const output = new TextDecoder();
    const input = new TextDecoder();
    const visited = new Int32Array(table.sites.length); // the step each site was last passed in
    const argumentsOf = argumentsByFunction(table);
    const order = new Map(); // each function's place in the recording, in the order first called
    const globals = []; // each named global's address
    const storedAt = new Map(); // the step that last stored each canvas cell
    let pieces = null; // where stairprompt's gathered pieces and their count are

    const outbox = []; // finished steps not yet sent
    let sent = performance.now(); // when steps were last sent
    let finished = 0;
    let step = { ops: [], text: "", notes: {}, depth: -1, line: null }; // before the first line
    const frames = []; // the calls under way: { fn, at, shown, scope, line, entry }
    let lowest = 0; // the outermost call the step has been innermost in
    let returned = null; // whether a call returned since the step began, and with a value
    let read = null; // the step that stored the last canvas cell this step read
    let written = 0; // bytes written, and those produced (written or gathered) so far
    let produced = 0;
    let recent = new Uint8Array(0); // the last bytes written, for a program that gathers
    let typed = ""; // the input read

    // Values, as the build-time recording shows them.
    function character(code) {
        const c = String.fromCharCode(code & 0xff);
        const quoted = JSON.stringify(c).slice(1, -1).replace(/[\x7f-\xff]/g, (x) => `\\u00${x.charCodeAt(0).toString(16)}`);
        return `'${quoted}'`;
    }
    function place(address, pointer) {
        for (let i = 0; i < globals.length; i++) {
            const { name, size, element } = table.globals[i];
            const offset = address - globals[i];
            if (globals[i] === undefined || offset < 0 || offset >= Math.max(size, 1)) continue;
            let named;
            if (element) named = offset % element === 0 ? `${name}[${offset / element}]` : `${name} + ${offset}`;
            else if (offset === 0) named = name;
            else return null;
            return pointer ? `&${named}` : named;
        }
        return null;
    }
    function text(address) {
        const bytes = new Uint8Array(memory.buffer);
        let end = address;
        while (end < bytes.length && end - address < 4096 && bytes[end] !== 0) end++;
        const whole = new TextDecoder().decode(bytes.subarray(address, end));
        return JSON.stringify([...whole].slice(0, 40).join(""));
    }
    function shown(kind, value) {
        switch (kind) {
            case "bool": return value ? "true" : "false";
            case "char": return character(Number(value));
            case "uint": return typeof value === "bigint" ? number(BigInt.asUintN(64, value)) : value >>> 0;
            case "int": return typeof value === "bigint" ? number(value) : value;
            case "float": return String(value);
            case "pointer": return value === 0 ? "nullptr" : place(value, true) ?? "a pointer";
            case "string": return value === 0 ? "nullptr" : place(value, true) ?? text(value);
            case "reference": return place(value, false) ?? "{…}";
            default: return "{…}";
        }
    }
    const number = (big) => (big >= -(2n ** 53n) && big <= 2n ** 53n ? Number(big) : String(big));
    function valueAt(variable, address) {
        const { kind, size } = table.variables[variable];
        const at = data();
        if (address + size > at.byteLength) return "{…}";
        if (kind === "int" || kind === "uint" || kind === "char" || kind === "bool") {
            const signed = kind === "int";
            const value = size === 1 ? (signed ? at.getInt8(address) : at.getUint8(address))
                : size === 2 ? (signed ? at.getInt16(address, true) : at.getUint16(address, true))
                : size === 4 ? (signed ? at.getInt32(address, true) : at.getUint32(address, true))
                : size === 8 ? (signed ? at.getBigInt64(address, true) : at.getBigUint64(address, true)) : null;
            return value === null ? "{…}" : shown(kind, value);
        }
        if (kind === "float") return size === 4 ? shown(kind, at.getFloat32(address, true))
            : size === 8 ? shown(kind, at.getFloat64(address, true)) : "{…}";
        if (kind === "pointer" || kind === "string" || kind === "reference") return shown(kind, at.getUint32(address, true));
        return "{…}";
    }

    // Whether SCOPE is INNER or one of the scopes INNER is in.
    function encloses(scope, inner) {
        for (let s = inner; s >= 0; s = table.scopes[s]) if (s === scope) return true;
        return false;
    }

    // The calls as they stand once the step is done: a call just entered
    // shows its arguments; in the calls the step has been in, a local comes
    // into view once a line at or after its declaration has run in its
    // scope, and leaves it with its scope.
    function settle() {
        for (let depth = Math.max(lowest, 0); depth < frames.length; depth++) {
            const frame = frames[depth];
            if (frame.entry) {
                for (const variable of argumentsOf[frame.fn]) {
                    const value = frame.at.has(variable) ? valueAt(variable, frame.at.get(variable)) : "?";
                    frame.entry.push(value);
                    frame.shown.set(variable, value);
                }
                frame.entry = null;
                continue;
            }
            for (const variable of frame.shown.keys()) {
                const { name, scope, arg } = table.variables[variable];
                if (arg < 0 && !encloses(scope, frame.scope)) {
                    frame.shown.delete(variable);
                    step.ops.push([3, depth, name]);
                }
            }
            for (const [variable, address] of frame.at) {
                const { name, scope, line } = table.variables[variable];
                if (!frame.shown.has(variable)) {
                    if (step.depth !== depth || line > step.line || !encloses(scope, frame.scope)) continue;
                    frame.shown.set(variable, undefined);
                }
                const value = valueAt(variable, address);
                if (value !== frame.shown.get(variable)) {
                    frame.shown.set(variable, value);
                    step.ops.push([2, depth, name, value]);
                }
            }
        }
        lowest = frames.length - 1;
    }

    // What a program that gathers its output has newly produced: the bytes
    // written, then those gathered in its pieces, past those already given
    // to a step.
    function gatheredBytes() {
        const at = data();
        const count = at.getInt32(pieces[1], true);
        const parts = [];
        let held = 0;
        for (let i = 0; i < count; i++) {
            const start = at.getUint32(pieces[0] + 8 * i, true);
            const length = at.getUint32(pieces[0] + 8 * i + 4, true);
            parts.push(new Uint8Array(memory.buffer, start, length));
            held += length;
        }
        const now = written + held;
        if (now <= produced) return;
        const all = new Uint8Array(recent.length + held);
        all.set(recent);
        let filled = recent.length;
        for (const part of parts) {
            all.set(part, filled);
            filled += part.length;
        }
        step.text += output.decode(all.subarray(all.length - (now - produced)), { stream: true });
        produced = now;
    }

    // Puts the step under way among the finished ones, as the player reads
    // it: [line, bytes, operations, notes], the empty ones at its end left off.
    function close() {
        if (step.text && read != null) step.notes.s = read;
        const done = [step.file ? [step.file, step.line] : step.line, step.text, step.ops, step.notes];
        const empty = (part) => part === "" || part.length === 0 || (!Array.isArray(part) && !Object.keys(part).length);
        while (done.length > 1 && empty(done.at(-1))) done.pop();
        outbox.push(done);
        finished++;
    }

    // Ends the step under way and begins one at SITE in the call at DEPTH.
    function begin(site, depth, continuing) {
        if (pieces) gatheredBytes();
        settle();
        if (step.depth >= 0) {
            close();
            // A batch at a time, and at least ten a second, so that a run
            // that is stopped has most of its steps with the page already.
            if (outbox.length >= chunk || (finished % 256 === 0 && performance.now() - sent > 100)) {
                send(outbox.splice(0));
                sent = performance.now();
            }
            if (finished >= cap) throw CAPPED;
        }
        const [file, line] = table.sites[site];
        step = { ops: step.depth >= 0 ? [] : step.ops, text: step.depth >= 0 ? "" : step.text, notes: {},
                 depth, file, line };
        if (continuing) step.notes.R = 1;
        visited[site] = finished + 1;
        read = null;
        returned = null;
    }

    function leave(value) {
        const frame = frames.pop();
        step.ops.push([0, 1]);
        // What main returns is the exit status, not shown as a call's.
        const kind = frames.length ? table.functions[frame.fn].returns : null;
        if (kind !== null && value !== undefined) step.notes.r = shown(kind, value);
        returned = { value: kind !== null && value !== undefined };
        lowest = Math.min(lowest, frames.length - 1);
    }

    const hooks = {
        enter(fn) {
            if (!order.has(fn)) order.set(fn, order.size);
            const entry = [1, order.get(fn)];
            step.ops.push(entry);
            frames.push({ fn, at: new Map(), shown: new Map(), scope: -1, line: null, entry });
        },
        declare(variable, address) {
            frames.at(-1)?.at.set(variable, address);
        },
        line(site) {
            const frame = frames.at(-1);
            if (!frame) return;
            const [file, line, scope] = table.sites[site];
            const key = file * 1e6 + line;
            frame.scope = scope;
            if (frame.line === key && visited[site] !== finished + 1) {
                visited[site] = finished + 1;
                return;
            }
            frame.line = key;
            begin(site, frames.length - 1, false);
        },
        back(site) {
            const frame = frames.at(-1);
            if (!frame || !returned) return;
            frame.scope = table.sites[site][2];
            begin(site, frames.length - 1, returned.value);
        },
        leave: () => leave(undefined),
        leave_i32: leave,
        leave_i64: leave,
        leave_f64: leave,
        leave_ptr: leave,
        load(address) {
            const { size } = table.globals[table.canvas];
            const offset = address - globals[table.canvas];
            if (offset >= 0 && offset < size) read = storedAt.get(offset);
        },
        store(address) {
            const { size } = table.globals[table.canvas];
            const offset = address - globals[table.canvas];
            if (offset >= 0 && offset < size) storedAt.set(offset, finished + 1);
        },
        global(index, address) {
            globals[index] = address;
        },
        gathered(at, count) {
            pieces = [at, count];
        },
    };

    return {
        imports: { record: hooks },
        attach(programMemory) {
            memory = programMemory;
        },
        write(bytes) {
            if (!pieces) {
                step.text += output.decode(bytes, { stream: true });
                return;
            }
            written += bytes.length;
            const joined = new Uint8Array(recent.length + bytes.length);
            joined.set(recent);
            joined.set(bytes, recent.length);
            recent = joined.subarray(Math.max(0, joined.length - (1 << 20)));
        },
        read(bytes) {
            if (!bytes.length) return;
            const got = input.decode(bytes, { stream: true });
            step.notes.t = (step.notes.t ?? "") + got;
            typed += got;
        },
        // The recording's own facts, beside its steps: its files, the text
        // of each header line a step ran, its functions in the order first
        // called, as the steps number them, each with its arguments' names,
        // and the input it read.
        facts: () => ({
            files: table.files, text: table.text, typed,
            functions: [...order.keys()].map((fn) => [table.functions[fn].name,
                                                     argumentsOf[fn].map((v) => table.variables[v].name)]),
        }),
        // Ends the recording: the step under way is its last, unless the
        // cap ended it; calls still under way end with it.
        finish(capped) {
            if (!capped && step.depth >= 0) {
                if (pieces && memory) gatheredBytes();
                if (frames.length) step.ops.push([0, frames.length]);
                frames.length = 0;
                close();
            }
            send(outbox.splice(0));
            return finished;
        },
    };
}

// Each function's arguments, as variables of the table, in their order.
function argumentsByFunction(table) {
    const found = table.functions.map(() => []);
    table.variables.forEach((variable, index) => {
        if (variable.arg >= 0 && !found[variable.fn].some((other) => table.variables[other].arg === variable.arg))
            found[variable.fn].push(index);
    });
    for (const list of found) list.sort((a, b) => table.variables[a].arg - table.variables[b].arg);
    return found;
}

