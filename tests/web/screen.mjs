// What a terminal of ROWS rows shows once BYTES have been written to it, row
// by row without trailing blanks, as the page's terminals show it: a line
// feed also returns the carriage, the cursor-position sequence ESC [ row ;
// column f (or H) moves the cursor, Hangul takes two columns, and the screen
// scrolls up when the cursor passes its last row.
const wide = (code) => (code >= 0xac00 && code <= 0xd7a3) || (code >= 0x1100 && code <= 0x115f);

export function screenOf(bytes, rows) {
    const text = new TextDecoder().decode(bytes);
    let grid = Array.from({ length: rows }, () => []);
    let row = 0;
    let column = 0;
    for (let i = 0; i < text.length; i++) {
        const move = /^\x1b\[(\d*);(\d*)[fH]/.exec(text.slice(i, i + 16));
        if (move) {
            row = Math.max(Number(move[1]), 1) - 1;
            column = Math.max(Number(move[2]), 1) - 1;
            i += move[0].length - 1;
        } else if (text[i] === "\n") {
            row++;
            column = 0;
        } else if (text[i] === "\r") {
            column = 0;
        } else if (text[i] === "\b") {
            column = Math.max(column - 1, 0);
        } else {
            const cells = grid[row];
            while (cells.length < column) cells.push(" ");
            cells[column++] = text[i];
            if (wide(text.codePointAt(i))) cells[column++] = "";
        }
        if (row === rows) {
            grid = [...grid.slice(1), []];
            row--;
        }
    }
    return grid.map((cells) => cells.map((cell) => cell ?? " ").join("").trimEnd());
}
