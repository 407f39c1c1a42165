// A program's recorded run (record.py), read back for its player: the calls
// under way after any step, and the screen after it as a terminal shows it.
// Step k is recording.steps[k - 1]: [line, bytes, operations, notes], where
// the line is a line of the program's own source, or [file, line] of a
// header, and what follows may be left off when empty.
"use strict";

const stepLine = (step) => (Array.isArray(step[0]) ? step[0] : [0, step[0]]);
const stepNotes = (step) => step?.[3] ?? {};

// The calls after each step: each call's function, its arguments and the
// locals it shows, outermost first; and what a call that just returned gave
// back, from the step it returned in, and through the rest of the line that
// made it.
function replayCalls(recording) {
    let state = null;

    function apply(step) {
        const notes = stepNotes(step);
        let returned = notes.R ? state.returned : null;
        for (const op of step[2] ?? []) {
            if (op[0] === 0) {
                const gone = state.calls.splice(state.calls.length - op[1]);
                if ("r" in notes) {
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

    // The state after k steps, carried on from the last one asked for when
    // that was no later.
    return function callsAfter(k) {
        if (!state || state.k > k) state = { k: 0, calls: [], returned: null };
        while (state.k < k) apply(recording.steps[state.k++]);
        return state;
    };
}

// Hangul takes two columns of a terminal.
const isWide = (code) => (code >= 0xac00 && code <= 0xd7a3) || (code >= 0x1100 && code <= 0x115f);

// A terminal's screen, ROWS by COLS, written step by step: a line feed also
// returns the carriage, as the page's terminals do, the cursor-position
// sequence ESC [ row ; column f (or H) moves the cursor, a row full to its
// last column wraps, and the screen scrolls up past its last row. Each cell
// is { ch, step }, the character and the step that wrote it; the second
// column of a wide character is { ch: "" }.
function makeScreen(rows, cols) {
    const grid = Array.from({ length: rows }, () => []);
    let row = 0;
    let col = 0;

    function put(ch, step) {
        const width = isWide(ch.codePointAt(0)) ? 2 : 1;
        if (col + width > cols) newLine();
        grid[row][col] = { ch, step };
        if (width === 2) grid[row][col + 1] = { ch: "", step };
        col += width;
    }

    function newLine() {
        col = 0;
        if (++row === rows) {
            grid.shift();
            grid.push([]);
            row--;
        }
    }

    function write(text, step) {
        for (let i = 0; i < text.length;) {
            const move = /^\x1b\[(\d*);(\d*)[fH]/.exec(text.slice(i, i + 16));
            if (move) {
                row = Math.min(Math.max(Number(move[1]), 1), rows) - 1;
                col = Math.min(Math.max(Number(move[2]), 1), cols) - 1;
                i += move[0].length;
                continue;
            }
            const ch = String.fromCodePoint(text.codePointAt(i));
            i += ch.length;
            if (ch === "\n") newLine();
            else if (ch === "\r") col = 0;
            else put(ch, step);
        }
    }
    return { grid, write };
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
        if (rowCharacters(screen.grid[row] ?? [])[col]?.step) return k;
    }
    return 0;
}
