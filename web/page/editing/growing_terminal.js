// An edited program may draw a bigger picture than its own: its terminal
// grows to what it writes, up to 200 columns and 100 rows, and scrolls
// beyond them. Each write is read for where it takes the cursor before the
// terminal is given it, so that no row wraps that a wider terminal keeps
// whole. Rows are added at most ten times a second, as each resize lays the
// page out again: meanwhile the terminal scrolls, and the rows it grows by
// bring back from its scrollback what scrolled off its top.
"use strict";

const MOST_COLUMNS = 200;
const MOST_ROWS = 100;

// Answers the function that sees each write to the section's TERMINAL
// (text, or bytes of UTF-8) and grows the terminal to take it; its
// finish() adds at once the rows still to come.
function growingTerminal(section, terminal) {
    const decoder = new TextDecoder();
    let row = 0;
    let col = 0;
    let wanted = terminal.rows; // the rows the writes so far want
    let growing = null; // the coming resize that adds them
    const grow = () => {
        clearTimeout(growing);
        growing = null;
        if (wanted > terminal.rows) resizeTerminal(section, terminal, terminal.cols, wanted);
    };
    const written = (data) => {
        const written = typeof data === "string" ? data : decoder.decode(data, { stream: true });
        let cols = terminal.cols;
        let rows = terminal.rows;
        for (let i = 0; i < written.length;) {
            const move = /^\x1b\[(\d*);(\d*)[fH]/.exec(written.slice(i, i + 16));
            const other = !move && /^\x1b(?:\[[\d;?]*[@-~])?/.exec(written.slice(i, i + 16));
            if (move) {
                row = Math.max(Number(move[1]), 1) - 1;
                col = Math.max(Number(move[2]), 1) - 1;
                i += move[0].length;
                continue;
            }
            if (other) {
                i += other[0].length;
                continue;
            }
            const character = String.fromCodePoint(written.codePointAt(i));
            i += character.length;
            if (character === "\n") {
                row++;
                col = 0;
            } else if (character === "\r") {
                col = 0;
            } else if (character === "\b") {
                col = Math.max(col - 1, 0);
            } else if (character >= " ") {
                col += columns(character);
            }
            cols = Math.max(cols, Math.min(col, MOST_COLUMNS));
            rows = Math.max(rows, Math.min(row + 1, MOST_ROWS));
        }
        wanted = Math.max(wanted, rows);
        if (cols > terminal.cols) resizeTerminal(section, terminal, cols, Math.max(terminal.rows, wanted));
        else if (wanted > terminal.rows) growing ??= setTimeout(grow, 100);
    };
    return Object.assign(written, { finish: grow });
}
