// A program's recorded run, read back for its player: the calls under way
// after any step, and the screen after it as a terminal shows it. Step k is
// recording.steps[k - 1]: [line, bytes, operations, notes], where the line
// is a line of the program's own source, or [file, line] of a header, and
// what follows may be left off when empty. The build records a program's
// own run (record.py), the page an edited one (recorder.js); both read the
// same. A long run is read back from the nearest of the states kept every
// KEPT_EVERY steps, so that any step is reached at once.
"use strict";

const KEPT_EVERY = 2048;

const stepLine = (step) => (Array.isArray(step[0]) ? step[0] : [0, step[0]]);
const stepNotes = (step) => step?.[3] ?? {};

// The calls after each step: each call's function, its arguments and the
// locals it shows, outermost first; and what a call that just returned gave
// back, from the step it returned in, and through the rest of the line that
// made it.
function replayCalls(recording) {
    let state = null;
    const kept = []; // the state after every KEPT_EVERY steps

    function apply(step) {
        const notes = stepNotes(step);
        let returned = notes.R ? state.returned : null;
        for (const op of step[2] ?? []) {
            if (op[0] === 0) {
                const gone = state.calls.splice(state.calls.length - op[1]);
                if ("r" in notes && gone.length) {
                    const call = gone.at(-1);
                    returned = text("returned", { call: `${call.name}(${call.args.map(([, value]) => value).join(", ")})`,
                                                  value: notes.r });
                }
            } else if (op[0] === 1) {
                const [name, args] = recording.functions[op[1]];
                state.calls.push({ name, args: args.map((arg, i) => [arg, op[2 + i]]), locals: new Map() });
            } else if (op[0] === 2) {
                const call = state.calls[op[1]];
                const arg = call.args.find(([name]) => name === op[2]);
                if (arg) arg[1] = op[3];
                else call.locals.set(op[2], op[3]);
            } else {
                state.calls[op[1]].locals.delete(op[2]);
            }
        }
        state.returned = returned;
    }

    const copy = ({ k, calls, returned }) => ({
        k, returned,
        calls: calls.map(({ name, args, locals }) => ({ name, args: args.map((arg) => [...arg]), locals: new Map(locals) })),
    });

    // The state after k steps, carried on from the last one asked for when
    // that was no later, or else from the nearest kept one.
    return function callsAfter(k) {
        if (!state || state.k > k) {
            const from = kept[Math.min(Math.floor(k / KEPT_EVERY), kept.length) - 1];
            state = from ? copy(from) : { k: 0, calls: [], returned: null };
        }
        while (state.k < k) {
            apply(recording.steps[state.k++]);
            if (state.k % KEPT_EVERY === 0 && !kept[state.k / KEPT_EVERY - 1]) kept[state.k / KEPT_EVERY - 1] = copy(state);
        }
        return state;
    };
}

// A move of the cursor, ESC [ row ; column f (or H), and any other control
// sequence, which the page's terminals act on and the player passes over.
const CURSOR_MOVE = /^\x1b\[(\d*);(\d*)[fH]/;
const CONTROL = /^\x1b(?:\[[\d;?]*[@-~])?/;

// A terminal's screen, ROWS by COLS, written step by step: a line feed also
// returns the carriage, as the page's terminals do, the cursor moves as
// told, a row full to its last column wraps, a wide character (Hangul) takes
// two columns, and the screen scrolls up past its last row. cells(row) gives
// a row as { ch, step } for each column, the character and the step that
// wrote it, with { ch: "" } for the second column of a wide character and
// nothing for a column never written.
function makeScreen(rows, cols) {
    let chars = new Int32Array(rows * cols); // a code point; 0 never written; -1 a wide character's second column
    let steps = new Int32Array(rows * cols);
    let row = 0;
    let col = 0;

    function newLine() {
        col = 0;
        if (++row === rows) {
            chars.copyWithin(0, cols);
            steps.copyWithin(0, cols);
            chars.fill(0, (rows - 1) * cols);
            steps.fill(0, (rows - 1) * cols);
            row--;
        }
    }

    function put(code, step) {
        const width = columns(String.fromCodePoint(code));
        if (col + width > cols) newLine();
        chars[row * cols + col] = code;
        steps[row * cols + col] = step;
        if (width === 2 && col + 1 < cols) {
            chars[row * cols + col + 1] = -1;
            steps[row * cols + col + 1] = step;
        }
        col += width;
    }

    function write(text, step) {
        for (let i = 0; i < text.length;) {
            const code = text.codePointAt(i);
            if (code === 0x1b) {
                const move = CURSOR_MOVE.exec(text.slice(i, i + 16));
                if (move) {
                    row = Math.min(Math.max(Number(move[1]), 1), rows) - 1;
                    col = Math.min(Math.max(Number(move[2]), 1), cols) - 1;
                }
                i += (move ?? CONTROL.exec(text.slice(i, i + 16)))[0].length;
                continue;
            }
            i += code > 0xffff ? 2 : 1;
            if (code === 0x0a) newLine();
            else if (code === 0x0d) col = 0;
            else if (code === 0x08) col = Math.max(col - 1, 0);
            else if (code === 0x09) col = Math.min((Math.floor(col / 8) + 1) * 8, cols - 1);
            else if (code >= 0x20 && code !== 0x7f) put(code, step);
        }
    }

    function cells(r) {
        const found = [];
        for (let c = 0; c < cols; c++) {
            const code = chars[r * cols + c];
            if (code) found[c] = { ch: code === -1 ? "" : String.fromCodePoint(code), step: steps[r * cols + c] };
        }
        return found;
    }

    return {
        rows, cols, write, cells,
        snapshot: () => ({ chars: chars.slice(), steps: steps.slice(), row, col }),
        restore(kept) {
            chars = kept.chars.slice();
            steps = kept.steps.slice();
            ({ row, col } = kept);
        },
    };
}

// The screen after each step, written on from the last one asked for when
// that was no later, or else from the nearest state kept.
function replayScreen(recording, rows, cols) {
    const screen = makeScreen(rows, cols);
    const kept = [];
    let k = 0;
    return function screenAfter(wanted) {
        if (k > wanted) {
            const from = Math.min(Math.floor(wanted / KEPT_EVERY), kept.length);
            if (from > 0) screen.restore(kept[from - 1]);
            else screen.restore(makeScreen(rows, cols).snapshot());
            k = from * KEPT_EVERY;
        }
        while (k < wanted) {
            screen.write(stepText(recording, ++k), k);
            if (k % KEPT_EVERY === 0 && !kept[k / KEPT_EVERY - 1]) kept[k / KEPT_EVERY - 1] = screen.snapshot();
        }
        return screen;
    };
}

// What step k added to the terminal: the line it read, which the terminal
// echoed as it was typed, then the bytes it produced.
function stepText(recording, k) {
    const step = recording.steps[k - 1];
    return (stepNotes(step).t ?? "") + (step[1] ?? "");
}

// A row's characters, by their column counted in characters, as the
// player shows and addresses them: a wide character is one, and a column
// never written is a blank of no step.
function rowCharacters(cells) {
    const characters = [];
    for (let i = 0; i < cells.length; i++) {
        if (cells[i]?.ch === "") continue;
        characters.push(cells[i] ?? { ch: " ", step: 0 });
    }
    return characters;
}

// The first step after which the character at ROW and COL is on the
// screen, or 0 if none writes it.
function firstWriter(recording, row, col, rows, cols) {
    const screen = makeScreen(rows, cols);
    for (let k = 1; k <= recording.steps.length; k++) {
        screen.write(stepText(recording, k), k);
        if (row < rows && rowCharacters(screen.cells(row))[col]?.step) return k;
    }
    return 0;
}

// The screen a recording needs, at least ROWS by COLS: as wide as its
// widest row and as tall as its rows, up to the most an edited program's
// terminal grows to, 200 columns and 100 rows.
function screenSize(recording, rows, cols) {
    let row = 0;
    let col = 0;
    let [wide, tall] = [cols, rows];
    for (let k = 1; k <= recording.steps.length; k++) {
        const text = stepText(recording, k);
        for (let i = 0; i < text.length;) {
            const code = text.codePointAt(i);
            if (code === 0x1b) {
                const move = CURSOR_MOVE.exec(text.slice(i, i + 16));
                if (move) [row, col] = [Math.max(Number(move[1]), 1) - 1, Math.max(Number(move[2]), 1) - 1];
                i += (move ?? CONTROL.exec(text.slice(i, i + 16)))[0].length;
                continue;
            }
            i += code > 0xffff ? 2 : 1;
            if (code === 0x0a) [row, col] = [row + 1, 0];
            else if (code === 0x0d) col = 0;
            else if (code >= 0x20) col += columns(String.fromCodePoint(code));
            wide = Math.max(wide, Math.min(col, 200));
            tall = Math.max(tall, Math.min(row + 1, 100));
        }
    }
    return [tall, wide];
}
