// An edited program may draw a bigger picture than its own: its terminal
// grows to what it writes, up to 200 columns and 100 rows, and scrolls
// beyond them. Each write is read for where it takes the cursor before the
// terminal is given it, so that no row wraps that a wider terminal keeps whole.
"use strict";

const MOST_COLUMNS = 200;
const MOST_ROWS = 100;

// Answers the function that sees each write to the section's TERMINAL
// (text, or bytes of UTF-8) and grows the terminal to take it.
function growingTerminal(section, terminal) {
    const decoder = new TextDecoder();
    let row = 0;
    let col = 0;
    return (data) => {
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
        if (cols > terminal.cols || rows > terminal.rows) resizeTerminal(section, terminal, cols, rows);
    };
}
