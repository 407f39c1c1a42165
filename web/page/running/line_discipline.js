// What a terminal's line discipline does in canonical mode, with Linux's
// usual settings: typed characters are echoed and gathered into a line, and
// a program's read gets nothing until the line ends. Backspace erases the
// last character and Ctrl-U the whole line; Enter ends the line with a line
// feed; Ctrl-D hands over what is gathered, and at the start of a line is the
// end of input; Ctrl-C shows ^C, drops what is typed and interrupts the
// program. Other control characters are echoed as ^X and kept.
"use strict";

// Characters that take two columns on a terminal: Hangul and the other wide
// East Asian scripts, whose erasing takes two backspaces.
function columns(character) {
    const code = character.codePointAt(0);
    const wide = (code >= 0x1100 && code <= 0x115f) || (code >= 0x2e80 && code <= 0xa4cf) ||
                 (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff) ||
                 (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60) ||
                 (code >= 0xffe0 && code <= 0xffe6) || (code >= 0x1f300 && code <= 0x1faff) ||
                 (code >= 0x20000 && code <= 0x3fffd);
    return wide ? 2 : 1;
}

// How a character is echoed: control characters as ^X, two columns.
function shown(character) {
    const code = character.codePointAt(0);
    if (code < 0x20) return "^" + String.fromCharCode(code + 0x40);
    if (code === 0x7f) return "^?";
    return character;
}

// echo(text) shows text on the terminal; interrupt() ends the program.
// Returns { type(data), read(most) }: type takes what the keyboard sends;
// read answers with up to `most` bytes of ended lines, or a promise of them
// when none are ready, and an empty array for the end of input.
function lineDiscipline(echo, interrupt) {
    const encoder = new TextEncoder();
    let line = []; // the characters of the line being typed
    const ended = []; // lines handed over, as bytes; an empty one is the end of input
    let wake = null; // a read waiting for a line

    function handOver(bytes) {
        ended.push(bytes);
        if (wake) wake();
    }

    function erase(count) {
        for (const character of line.splice(line.length - count))
            echo("\b \b".repeat(shown(character) === character ? columns(character) : 2));
    }

    function type(data) {
        for (const character of data) {
            if (character === "\r" || character === "\n") {
                echo("\r\n");
                handOver(encoder.encode(line.join("") + "\n"));
                line = [];
            } else if (character === "\x7f" || character === "\b") {
                erase(Math.min(1, line.length));
            } else if (character === "\x15") {
                erase(line.length);
            } else if (character === "\x04") {
                handOver(encoder.encode(line.join("")));
                line = [];
            } else if (character === "\x03") {
                echo("^C");
                line = [];
                ended.length = 0;
                interrupt();
            } else {
                echo(shown(character));
                line.push(character);
            }
        }
    }

    function take(most) {
        const first = ended[0];
        if (first.length <= most) return ended.shift();
        ended[0] = first.subarray(most);
        return first.subarray(0, most);
    }

    function read(most) {
        if (ended.length > 0) return take(most);
        return new Promise((resolve) => {
            wake = () => {
                wake = null;
                resolve(take(most));
            };
        });
    }

    return { type, read };
}
