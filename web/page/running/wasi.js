// The system interface (WASI, preview 1) a program runs on in the page, made
// to behave as Linux does with a terminal for standard input, output and
// error. A write returns once the terminal has taken the data before it, a
// read waits for a typed line, and a sleep waits on a timer, all without
// holding up the page: the programs were made able to pause (wasm-opt's
// Asyncify), so a call that has to wait unwinds the program and is called
// again, with its answer, once the wait is over.
"use strict";

const ERRNO_SUCCESS = 0;
const ERRNO_BADF = 8;
const ERRNO_NOSYS = 52;
const ERRNO_SPIPE = 70;

const FILETYPE_CHARACTER_DEVICE = 2;
// Read, write, set flags and poll, but neither seek nor tell: a terminal.
const TERMINAL_RIGHTS = (1n << 1n) | (1n << 3n) | (1n << 6n) | (1n << 27n);

const EVENTTYPE_CLOCK = 0;
const SUBCLOCKFLAG_ABSTIME = 1;

// What a stopped program's run ends with, in place of an exit status.
const STOPPED = "stopped";

// Starts a compiled program. io.write(bytes) and io.read(most) answer at once
// or with a promise: write with nothing, read with the bytes typed, none at
// the end of input. Returns { finished, stop }: finished is a promise of the
// exit status, or STOPPED once stop() has been called. OPTIONS may give
// imports besides the system's, by module (a recorder's hooks), attach(memory),
// told the program's memory before it starts, and sleeps: false, for sleeps
// that end at once.
function startProgram(module, name, io, options = {}) {
    let exports;
    let memory;
    let unwinding = false;
    let rewinding = false;
    let waitingFor; // the promise a paused call waits on
    let answer; // what that call returns when it is called again
    let stopRequested;
    const stopped = new Promise((resolve) => (stopRequested = resolve));

    const view = () => new DataView(memory.buffer);
    const bytes = (at, length) => new Uint8Array(memory.buffer, at, length);

    // A call that may have to wait: it answers at once, or with a promise.
    function mayWait(call) {
        return (...args) => {
            if (rewinding) {
                exports.asyncify_stop_rewind();
                rewinding = false;
                return answer;
            }
            const result = call(...args);
            if (!(result instanceof Promise)) return result;
            waitingFor = result;
            unwinding = true;
            exports.asyncify_start_unwind(pauseData);
            return 0;
        };
    }

    // The pieces an iovec array at `at` names: [address, length] pairs.
    function pieces(at, count) {
        const list = [];
        for (let i = 0; i < count; i++)
            list.push([view().getUint32(at + 8 * i, true), view().getUint32(at + 8 * i + 4, true)]);
        return list;
    }

    function fd_write(fd, iovs, count, writtenAt) {
        if (fd !== 1 && fd !== 2) return ERRNO_BADF;
        const list = pieces(iovs, count);
        const data = new Uint8Array(list.reduce((sum, [, length]) => sum + length, 0));
        let filled = 0;
        for (const [at, length] of list) {
            data.set(bytes(at, length), filled);
            filled += length;
        }
        view().setUint32(writtenAt, data.length, true);
        const taken = io.write(data);
        return taken ? taken.then(() => ERRNO_SUCCESS) : ERRNO_SUCCESS;
    }

    function fd_read(fd, iovs, count, readAt) {
        if (fd !== 0) return ERRNO_BADF;
        const list = pieces(iovs, count);
        const deliver = (typed) => {
            let given = 0;
            for (const [at, length] of list) {
                const part = typed.subarray(given, given + length);
                bytes(at, part.length).set(part);
                given += part.length;
            }
            view().setUint32(readAt, given, true);
            return ERRNO_SUCCESS;
        };
        const typed = io.read(list.reduce((sum, [, length]) => sum + length, 0));
        return typed instanceof Promise ? typed.then(deliver) : deliver(typed);
    }

    function now(clock) {
        return clock === 0 ? BigInt(Date.now()) * 1000000n
                           : BigInt(Math.round(performance.now() * 1e6));
    }

    // Sleeps are the only waits the programs poll for: a clock subscription
    // waits for its time; a descriptor, a terminal, is ready at once.
    function poll_oneoff(inAt, outAt, count, eventsAt) {
        let soonest = null;
        const ready = [];
        for (let i = 0; i < count; i++) {
            const at = inAt + 48 * i;
            const type = view().getUint8(at + 8);
            if (type === EVENTTYPE_CLOCK) {
                const clock = view().getUint32(at + 16, true);
                let timeout = view().getBigUint64(at + 24, true);
                if (view().getUint16(at + 40, true) & SUBCLOCKFLAG_ABSTIME) timeout -= now(clock);
                const ms = Number(timeout < 0n ? 0n : timeout) / 1e6;
                if (soonest === null || ms < soonest.ms) soonest = { at, type, ms };
            } else {
                ready.push({ at, type });
            }
        }
        const report = (events) => {
            events.forEach(({ at, type }, i) => {
                const out = outAt + 32 * i;
                bytes(out, 32).fill(0);
                view().setBigUint64(out, view().getBigUint64(at, true), true);
                view().setUint8(out + 10, type);
            });
            view().setUint32(eventsAt, events.length, true);
            return ERRNO_SUCCESS;
        };
        if (ready.length > 0 || soonest === null) return report(ready);
        if (options.sleeps === false) return report([soonest]);
        return new Promise((resolve) => setTimeout(resolve, soonest.ms)).then(() => report([soonest]));
    }

    function fd_fdstat_get(fd, at) {
        if (fd > 2) return ERRNO_BADF;
        bytes(at, 24).fill(0);
        view().setUint8(at, FILETYPE_CHARACTER_DEVICE);
        view().setBigUint64(at + 8, TERMINAL_RIGHTS, true);
        return ERRNO_SUCCESS;
    }

    function fd_filestat_get(fd, at) {
        if (fd > 2) return ERRNO_BADF;
        bytes(at, 64).fill(0);
        view().setUint8(at + 16, FILETYPE_CHARACTER_DEVICE);
        return ERRNO_SUCCESS;
    }

    const argument = new TextEncoder().encode(name + "\0");
    const calls = {
        fd_write: mayWait(fd_write),
        fd_read: mayWait(fd_read),
        poll_oneoff: mayWait(poll_oneoff),
        fd_fdstat_get,
        fd_filestat_get,
        fd_fdstat_set_flags: (fd) => (fd > 2 ? ERRNO_BADF : ERRNO_SUCCESS),
        fd_seek: (fd) => (fd > 2 ? ERRNO_BADF : ERRNO_SPIPE),
        fd_close: (fd) => (fd > 2 ? ERRNO_BADF : ERRNO_SUCCESS),
        fd_prestat_get: () => ERRNO_BADF,
        fd_prestat_dir_name: () => ERRNO_BADF,
        args_sizes_get: (countAt, sizeAt) => {
            view().setUint32(countAt, 1, true);
            view().setUint32(sizeAt, argument.length, true);
            return ERRNO_SUCCESS;
        },
        args_get: (pointersAt, textAt) => {
            view().setUint32(pointersAt, textAt, true);
            bytes(textAt, argument.length).set(argument);
            return ERRNO_SUCCESS;
        },
        environ_sizes_get: (countAt, sizeAt) => {
            view().setUint32(countAt, 0, true);
            view().setUint32(sizeAt, 0, true);
            return ERRNO_SUCCESS;
        },
        environ_get: () => ERRNO_SUCCESS,
        clock_time_get: (clock, precision, at) => {
            view().setBigUint64(at, now(clock), true);
            return ERRNO_SUCCESS;
        },
        clock_res_get: (clock, at) => {
            view().setBigUint64(at, 1000n, true);
            return ERRNO_SUCCESS;
        },
        random_get: (at, length) => {
            for (let done = 0; done < length; done += 65536)
                crypto.getRandomValues(bytes(at + done, Math.min(65536, length - done)));
            return ERRNO_SUCCESS;
        },
        sched_yield: () => ERRNO_SUCCESS,
        proc_exit: (status) => {
            throw { exitStatus: status };
        },
    };
    // Anything else the C library may ask for is not there, as on a system without it.
    const imports = {};
    for (const { module: from, name: call } of WebAssembly.Module.imports(module))
        (imports[from] ??= {})[call] = options.imports?.[from]?.[call] ?? calls[call] ?? (() => ERRNO_NOSYS);

    const instance = new WebAssembly.Instance(module, imports);
    exports = instance.exports;
    memory = exports.memory;
    options.attach?.(memory);
    // A page of memory above the program's own keeps its calls while it is
    // paused: eight bytes of bounds, then room for the calls.
    const pauseData = memory.grow(1) * 65536;
    view().setUint32(pauseData, pauseData + 8, true);
    view().setUint32(pauseData + 4, pauseData + 65536, true);

    async function run() {
        for (;;) {
            try {
                exports._start();
            } catch (error) {
                if (error && error.exitStatus !== undefined) return error.exitStatus;
                throw error;
            }
            if (!unwinding) return 0;
            exports.asyncify_stop_unwind();
            unwinding = false;
            const result = await Promise.race([waitingFor, stopped]);
            if (result === STOPPED) return STOPPED;
            answer = result;
            rewinding = true;
            exports.asyncify_start_rewind(pauseData);
        }
    }

    return { finished: run(), stop: () => stopRequested(STOPPED) };
}
