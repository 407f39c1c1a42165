// What changed: once an edited run has ended, each cell of its screen that
// differs from the program's own final screen is marked on the terminal, and
// the count of them is given beside it and in the section's data-differs.
// The program's own final screen is that of its recorded run (the player's
// recording, recordings/NAME.js): the program run when the page was made,
// stairprompt typed 5. Screens are compared cell by cell, row by row; a cell
// past the end of a row or of the screen is a blank.
"use strict";

// A screen as rows of cells, each a character, "" for the second column of
// a wide one.
function terminalScreen(terminal) {
    const buffer = terminal.buffer.active;
    return Array.from({ length: terminal.rows }, (_, y) => {
        const line = buffer.getLine(buffer.baseY + y);
        return Array.from({ length: terminal.cols }, (_, x) => {
            const cell = line?.getCell(x);
            if (!cell) return " ";
            return cell.getWidth() === 0 ? "" : cell.getChars() || " ";
        });
    });
}

function ownScreen(recording, rows, cols) {
    const screen = replayScreen(recording, rows, cols)(recording.steps.length);
    return Array.from({ length: rows }, (_, y) => {
        const cells = screen.cells(y);
        return Array.from({ length: cols }, (_, x) => cells[x]?.ch ?? " ");
    });
}

// The cells [row, column] where two screens differ.
function differingCells(one, other) {
    const cells = [];
    for (let y = 0; y < Math.max(one.length, other.length); y++) {
        const [a, b] = [one[y] ?? [], other[y] ?? []];
        for (let x = 0; x < Math.max(a.length, b.length); x++)
            if ((a[x] ?? " ") !== (b[x] ?? " ")) cells.push([y, x]);
    }
    return cells;
}

function unmark(section) {
    section.querySelector(".differences")?.remove();
    section.querySelector(".differs")?.remove();
    delete section.dataset.differs;
}

// Marks on the section's TERMINAL the cells where its screen differs from the
// program's own.
async function markDifferences(section, terminal) {
    const name = section.id;
    const [recording] = await Promise.all([loadRecording(name), loadScript("recording.js")]);
    unmark(section);
    const own = ownScreen(recording, Number(section.dataset.rows), Number(section.dataset.cols));
    const cells = differingCells(terminalScreen(terminal), own);
    const screen = section.querySelector(".xterm-screen");
    const box = section.querySelector(".terminal-box");
    const [at, inside] = [screen.getBoundingClientRect(), box.getBoundingClientRect()];
    const [width, height] = [at.width / terminal.cols, at.height / terminal.rows];
    const marks = document.createElement("div");
    marks.className = "differences";
    marks.setAttribute("aria-hidden", "true");
    marks.style.cssText = `left: ${at.left - inside.left}px; top: ${at.top - inside.top}px;`;
    marks.innerHTML = cells.map(([y, x]) =>
        `<span style="left: ${x * width}px; top: ${y * height}px; width: ${width}px; height: ${height}px"></span>`).join("");
    box.append(marks);
    const count = document.createElement("p");
    count.className = "differs";
    count.setAttribute("role", "status");
    count.textContent = cells.length === 0 ? text("differs_none", { name })
        : text(cells.length === 1 ? "differs_one" : "differs", { count: cells.length, name });
    section.querySelector(".controls").after(count);
    section.dataset.differs = cells.length;
}

// A new run in the section, of whatever program, clears the marks.
function clearDifferencesOnRun(section) {
    new MutationObserver(() => {
        if (section.dataset.state === "running") unmark(section);
    }).observe(section, { attributes: true, attributeFilter: ["data-state"] });
}
