// The player: a program's recorded run (recording.js), stepped through in
// place of its terminal, its source beside it. After each step it shows the
// screen as a terminal shows it, the cells just written marked; the line
// just run, marked in the listing, or named with its file when it is in a
// header; the calls under way, innermost first, with their arguments and
// locals; what a call that just returned gave back; and, in a canvas
// program, the step that stored the cell just printed. Any cell of the
// screen leads to the step that wrote it. Under it, every call of the run
// (calls.js): choosing one goes to its last step and marks what it drew.
// The address follows the player as #NAME/step/K. It plays the program's own run, recorded when the page was
// made, or an edit's, recorded in the page (edited_recording.js): then it
// steps through the edited source, its screen is as large as the edit's
// terminal grew, and its addresses are the edit's, #NAME/edit/DATA/step/K.
"use strict";

const players = new Map(); // each section's player, with the recording it plays
const SPEEDS = [2, 10, 50, 250]; // steps a second

// The address follows the player last moved, though not more often than four
// times a second, as often as a browser lets a page change it; but an
// address that a link or the reader gives meanwhile stands.
let addressTimer = null;
let addressed = 0;

function followPlayer(address) {
    clearTimeout(addressTimer);
    const given = location.hash;
    addressTimer = setTimeout(() => {
        if (location.hash !== given) return;
        addressed = Date.now();
        history.replaceState(null, "", address);
    }, Math.max(0, addressed + 250 - Date.now()));
}

// Takes SECTION's player away, if it is open, as when its terminal is to run.
function removePlayer(section) {
    players.get(section)?.player.remove();
}

// Opens SECTION's player of RECORDING at PLACE. EDIT, for an edited run,
// gives its source and its address, #NAME/edit/DATA, and how it ended.
function showPlayer(section, recording, place, edit = null) {
    if (players.get(section)?.recording !== recording) {
        players.get(section)?.player.remove();
        players.set(section, { recording, player: makePlayer(section, recording, edit) });
    }
    players.get(section).player.open(place);
}

const escapeHtml = (text) => text.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);

// The listing's lines, each put in a span of its own; a span of
// highlight.js's that crosses a line's end is closed there and opened again
// on the next line.
function listingLines(code) {
    if (code.dataset.lines !== undefined) return [...code.children];
    code.dataset.lines = "";
    let open = [];
    code.innerHTML = code.innerHTML.split("\n").map((part) => {
        const html = open.join("") + part;
        for (const tag of part.match(/<span[^>]*>|<\/span>/g) ?? []) {
            if (tag === "</span>") open.pop();
            else open.push(tag);
        }
        return `<span class="line">${html}${"</span>".repeat(open.length)}</span>`;
    }).join("\n");
    return [...code.children];
}

// The listing of an edited source, coloured as the editor colours it.
function editedListing(source) {
    const listing = document.createElement("pre");
    listing.className = "listing edited-listing";
    listing.tabIndex = 0;
    const code = document.createElement("code");
    const parts = [];
    const tree = CodeMirror.cppLanguage.parser.parse(source);
    CodeMirror.highlightCode(source, tree, CodeMirror.classHighlighter,
                             (part, classes) => parts.push(classes ? `<span class="${classes}">${escapeHtml(part)}</span>`
                                                                   : escapeHtml(part)),
                             () => parts.push("\n"));
    code.innerHTML = parts.join("");
    listing.append(code);
    return listing;
}

function makePlayer(section, recording, edit) {
    const name = section.id;
    const [rows, cols] = edit ? screenSize(recording, Number(section.dataset.rows), Number(section.dataset.cols))
                              : [Number(section.dataset.rows), Number(section.dataset.cols)];
    const total = recording.steps.length;
    const address = edit?.address ?? `#${name}`;
    const callsAfter = replayCalls(recording);
    const screenAfter = replayScreen(recording, rows, cols);
    const listing = edit ? editedListing(edit.source) : section.querySelector(".listing");
    const lines = listingLines(listing.querySelector("code"));
    const typed = recording.typed ? text("player_typed", { typed: escapeHtml(recording.typed.trim()) }) : "";
    const notes = edit ? `<p class="player-note">${text("edited_player_note", { name, typed })}</p>
<p class="player-note"${recording.capped ? " data-capped" : ""}>${recording.capped
        ? text("recording_capped", { n: total }) : text("recording_ended", { n: total, end: escapeHtml(edit.end) })}</p>`
        : `<p class="player-note">${text("player_note", { name, typed })}</p>`;

    const player = document.createElement("div");
    player.className = "player";
    player.tabIndex = -1;
    player.setAttribute("role", "region");
    player.setAttribute("aria-label", text("player_label", { name }));
    player.style.setProperty("--cols", cols);
    player.style.setProperty("--rows", rows);
    player.innerHTML = `
${notes}
<div class="player-screen"><pre data-screen tabindex="0" role="group" aria-label="${text("screen_label")}"></pre></div>
<p class="cell-note" aria-live="polite"></p>
<p class="step-count">${text("step_count", { k: '<span class="step-number">0</span>', total })}</p>
<input type="range" min="0" max="${total}" value="0" aria-label="${text("step_label")}">
<p class="player-buttons"><button type="button" class="previous">${text("previous")}</button>
<button type="button" class="next">${text("next")}</button>
<button type="button" class="play">${text("play")}</button>
<label>${text("speed")} <select>${SPEEDS.map((s) => `<option value="${s}"${s === 10 ? " selected" : ""}>${text("speed_option", { n: s })}</option>`).join("")}</select></label>
<button type="button" class="close">${text("close")}</button></p>
<p class="where"></p>
<h3>${text("calls")}</h3>
<ol data-calls></ol>
<p class="returned" hidden></p>
<p class="stored" hidden></p>
<div class="calls-view"><h3 id="every-call-${name}">${text("every_call")}</h3>
<p class="drawn-note" aria-live="polite"></p></div>`;
    const part = (selector) => player.querySelector(selector);
    const screen = part("[data-screen]");
    const slider = part("input[type=range]");
    const playButton = part(".play");
    const speed = part("select");

    let k = 0;
    let picked = null; // the cell [row, column] picked or moved to
    let playing = null;
    let drawn = null; // the cells the call chosen drew, at its last step: { at, cells }
    const calls = makeCallsView(part(".calls-view"), recording, chooseCall);
    // The screen after the step, as rows of cells.
    function screenNow() {
        const screen = screenAfter(k);
        return Array.from({ length: rows }, (_, row) => screen.cells(row));
    }

    function go(to) {
        k = Math.min(Math.max(Math.trunc(to) || 0, 0), total);
        if (drawn && drawn.at !== k) drawn = null;
        render();
        followPlayer(`${address}/step/${k}`);
    }

    // The cells written while CALL was under way, by it or by the calls
    // under it, as the screen shows them at its last step: each by "row,col",
    // with, for a canvas program's cell the call stored that is printed only
    // later, the character printed there.
    let canvas = null;
    function drawnBy(call) {
        const [from, to] = [call.first, call.last ?? total];
        const cells = new Map();
        canvas ??= recording.steps.some((step) => stepNotes(step).s);
        if (canvas) {
            const end = screenAfter(total);
            for (let row = 0; row < rows; row++) {
                rowCharacters(end.cells(row)).forEach((cell, col) => {
                    const stored = stepNotes(recording.steps[cell.step - 1]).s;
                    if (stored > from && stored <= to) cells.set(`${row},${col}`, cell.ch);
                });
            }
        }
        const then = screenAfter(to);
        for (let row = 0; row < rows; row++) {
            rowCharacters(then.cells(row)).forEach((cell, col) => {
                if (cell.step > from && cell.step <= to) cells.set(`${row},${col}`, null);
            });
        }
        return cells;
    }

    // Goes to the last step of the call chosen in the calls view, and marks
    // what it drew.
    function chooseCall(call) {
        const cells = drawnBy(call);
        const rowsDrawn = [...cells.keys()].map((key) => Number(key.split(",")[0]));
        const [top, bottom] = [Math.min(...rowsDrawn), Math.max(...rowsDrawn)];
        const named = call.returned === null ? call.label : text("returned", { call: call.label, value: call.returned });
        part(".drawn-note").textContent = text(!cells.size ? "drew_nothing" : cells.size === 1 ? "drew_one"
            : top === bottom ? "drew_in_row" : "drew", { call: named, n: cells.size, row: top, from: top, to: bottom });
        go(call.last ?? total);
        drawn = { at: k, cells };
        renderScreen();
    }

    function render() {
        const step = recording.steps[k - 1];
        part(".step-number").textContent = k;
        slider.value = k;
        slider.setAttribute("aria-valuetext", text("step_count", { k, total }));
        renderScreen();
        renderLine(step);
        calls.follow(k);
        const { calls: under, returned } = callsAfter(k);
        part("[data-calls]").innerHTML = [...under].reverse().map((call) => {
            const args = call.args.map(([arg, value]) => `${arg} = ${value}`).join(", ");
            const locals = [...call.locals].map(([local, value]) => `${local} = ${value}`).join(", ");
            return `<li><code>${escapeHtml(`${call.name}(${args})`)}</code>` +
                   `${locals ? ` <code>${escapeHtml(locals)}</code>` : ""}</li>`;
        }).join("");
        const returnedLine = part(".returned");
        returnedLine.hidden = !returned;
        returnedLine.toggleAttribute("data-returned", Boolean(returned));
        returnedLine.innerHTML = returned ? `<code>${escapeHtml(returned)}</code>` : "";
        const stored = stepNotes(step).s;
        const storedLine = part(".stored");
        storedLine.hidden = !stored;
        storedLine.innerHTML = stored ? text("stored", {
            step: `<a data-stored href="${address}/step/${stored}">${text("step_link", { k: stored })}</a>` }) : "";
    }

    // The screen, each cell a span: those the step wrote marked new, the
    // one picked, and those the call chosen drew, with data-drawn; a canvas
    // cell it stored that is not printed yet shows what will be printed
    // there, as stored.
    function renderScreen() {
        const widest = new Map(); // the last column of each row that a mark needs shown
        if (picked) widest.set(picked[0], picked[1]);
        for (const key of drawn?.cells.keys() ?? []) {
            const [row, col] = key.split(",").map(Number);
            widest.set(row, Math.max(widest.get(row) ?? -1, col));
        }
        screen.innerHTML = screenNow().map((cells, row) => {
            const characters = rowCharacters(cells);
            while (characters.length <= (widest.get(row) ?? -1)) characters.push({ ch: " ", step: 0 });
            return `<span data-r="${row}">${characters.map((cell, col) => {
                const ahead = drawn?.cells.get(`${row},${col}`);
                const stored = typeof ahead === "string" && !cell.step;
                const marks = [cell.step === k && k > 0 ? "new" : "", picked?.[0] === row && picked[1] === col ? "picked" : "",
                               stored ? "stored" : ""].filter(Boolean).join(" ");
                return `<span data-c="${col}"${marks ? ` class="${marks}"` : ""}${ahead !== undefined ? " data-drawn" : ""}>` +
                       `${escapeHtml(stored ? ahead : cell.ch)}</span>`;
            }).join("")}</span>`;
        }).join("\n");
    }

    function renderLine(step) {
        for (const line of listing.querySelectorAll("[aria-current]")) {
            line.removeAttribute("aria-current");
            line.removeAttribute("data-line");
        }
        const where = part(".where");
        if (!step) {
            where.textContent = text("nothing_ran");
            return;
        }
        const [file, line] = stepLine(step);
        const path = escapeHtml(recording.files[file]);
        if (file === 0) {
            const marked = lines[line - 1];
            marked.setAttribute("aria-current", "step");
            marked.dataset.line = line;
            showInListing(marked);
            where.innerHTML = text("line_ran", { line, file: `<code>${path}</code>` });
        } else {
            where.innerHTML = text("header_line_ran", {
                line, file: `<code aria-current="step" data-line="${line}" data-file="${path}">${path}</code>`,
                text: `<code>${escapeHtml(recording.text[file][line].trim())}</code>` });
        }
    }

    // Scrolls the listing, not the page, to the line.
    function showInListing(line) {
        const top = line.offsetTop;
        if (top < listing.scrollTop || top + line.offsetHeight > listing.scrollTop + listing.clientHeight)
            listing.scrollTop = Math.max(0, top - listing.clientHeight / 3);
    }

    // Goes to the step that wrote the character at ROW and COL of the screen.
    function pick(row, col) {
        picked = [row, col];
        const cell = rowCharacters(screenNow()[row])[col];
        const note = part(".cell-note");
        if (!cell?.step) {
            note.textContent = text("cell_empty", { row, col });
            render();
            return;
        }
        note.textContent = text("cell_written", { row, col, ch: JSON.stringify(cell.ch), k: cell.step });
        go(cell.step);
    }

    function play() {
        if (k >= total) go(0);
        clearInterval(playing);
        playing = setInterval(() => (k >= total ? pause() : go(k + 1)), 1000 / Number(speed.value));
        playButton.textContent = text("pause");
    }

    function pause() {
        clearInterval(playing);
        playing = null;
        playButton.textContent = text("play");
    }

    function remove() {
        pause();
        player.remove();
        if (edit) listing.remove();
        section.classList.remove("stepping", "stepping-edit");
        renderLine(null);
    }

    function close() {
        remove();
        followPlayer(address);
        section.querySelector(".step-through").focus();
    }

    part(".previous").addEventListener("click", () => go(k - 1));
    part(".next").addEventListener("click", () => go(k + 1));
    playButton.addEventListener("click", () => (playing ? pause() : play()));
    speed.addEventListener("change", () => playing && play());
    part(".close").addEventListener("click", close);
    slider.addEventListener("input", () => go(Number(slider.value)));
    // A cell clicked or tapped; then ← and → step again.
    screen.addEventListener("click", (event) => {
        const cell = event.target.closest("[data-c]");
        if (!cell) return;
        pick(Number(cell.parentElement.dataset.r), Number(cell.dataset.c));
        player.focus({ preventScroll: true });
    });

    // On the screen the arrow keys move to a cell and Enter picks it;
    // elsewhere in the player ← and → step and Space plays or pauses.
    const MOVES = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1] };
    player.addEventListener("keydown", (event) => {
        if (event.altKey || event.ctrlKey || event.metaKey) return;
        if (event.target === screen && (event.key in MOVES || event.key === "Enter")) {
            event.preventDefault();
            if (event.key === "Enter") {
                if (picked) pick(...picked);
                return;
            }
            const [down, right] = MOVES[event.key];
            const [row, col] = picked ?? [0, -right];
            picked = [Math.min(Math.max(row + down, 0), rows - 1), Math.min(Math.max(col + right, 0), cols - 1)];
            part(".cell-note").textContent = text("cell_at", { row: picked[0], col: picked[1] });
            renderScreen();
        } else if ((event.key === "ArrowLeft" || event.key === "ArrowRight") && event.target !== slider
                   && event.target !== speed) {
            event.preventDefault();
            go(k + (event.key === "ArrowRight" ? 1 : -1));
        } else if (event.key === " " && event.target !== speed) {
            event.preventDefault();
            if (!event.repeat) playButton.click();
        }
    });
    // A button takes Space on its release.
    player.addEventListener("keyup", (event) => {
        if (event.key === " " && event.target !== speed) event.preventDefault();
    });

    return {
        remove,
        open(place) {
            if (!player.isConnected) {
                section.querySelector(".about").after(player);
                section.classList.add("stepping");
                if (edit) {
                    section.querySelector(".listing").after(listing);
                    section.classList.add("stepping-edit");
                }
            }
            pause();
            if (place.cell) {
                const [row, col] = place.cell;
                const first = firstWriter(recording, row, col, rows, cols);
                picked = [row, col];
                part(".cell-note").textContent = text(first ? "cell_first" : "cell_never", { row, col, k: first });
                go(first || total);
            } else {
                go(place.step);
            }
            player.focus();
        },
    };
}
