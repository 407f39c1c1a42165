// The page: each section's terminal first shows, as text in the page, the
// screen its program printed when the page was made. When the section comes
// near the view, the program starts in a terminal of xterm.js that takes the
// place of that text, and keeps running when scrolled away. Run starts it
// again on a clean screen, Stop or Ctrl-C ends it; the section's data-state
// says whether it is waiting to start, running, reading (waiting for a typed
// line) or exited, and the line under the terminal gives the exit status.
"use strict";

// The page's monospace stack, whose Hangul is exactly two columns wide.
const FONT = getComputedStyle(document.documentElement).getPropertyValue("--monospace").trim();

// Output to a terminal that never runs ahead of it: a write is handed over at
// once when the terminal has taken everything before it, and otherwise once
// it has; writeOut answers with a promise in that case.
// settled() answers once the terminal has taken everything written.
function terminalOutput(terminal) {
    let taken = Promise.resolve();
    let caughtUp = true;
    function handOver(data) {
        caughtUp = false;
        taken = new Promise((resolve) => terminal.write(data, resolve)).then(() => {
            caughtUp = true;
        });
    }
    const write = (data) => (caughtUp ? handOver(data) : taken.then(() => handOver(data)));
    return { write, settled: () => taken };
}

async function setUpSection(section) {
    const name = section.id;
    const cols = Number(section.dataset.cols);
    const rows = Number(section.dataset.rows);
    const module = loadProgram(name);
    await loadScript("xterm.js");
    const terminal = new Terminal({
        cols, rows, convertEol: true, fontFamily: FONT, fontSize: 15,
        scrollback: name === "stairprompt" ? 1000 : 0,
        theme: { background: "#1d1f21", foreground: "#e0e0e0", cursor: "#e0e0e0" },
    });
    terminal.open(section.querySelector(".terminal-box"));
    // Cells as wide and rows as tall as the first screen's, so that the
    // picture stays where it stood. Its rows are taller than any font's own;
    // its columns are the font's own, which xterm.js measures for itself,
    // and a browser may now and then measure otherwise than it lays out text.
    const wanted = section.querySelector(".first-screen").getBoundingClientRect();
    const drawn = section.querySelector(".xterm-screen").getBoundingClientRect();
    terminal.options.lineHeight = Math.max(1, wanted.height / drawn.height);
    terminal.options.letterSpacing = Math.round((wanted.width - drawn.width) / cols);
    const exitLine = section.querySelector(".exit");
    const stopButton = section.querySelector(".stop");
    let program = null; // the run under way, if any
    let keyboard = null; // where typed characters go while it runs
    let output = null; // the run's output to the terminal
    let runs = 0;

    function show(state) {
        section.dataset.state = state;
        stopButton.disabled = state === "exited";
    }

    async function run() {
        const thisRun = ++runs;
        if (program) program.stop();
        program = keyboard = null;
        // What a stopped run wrote reaches the terminal before it is cleared.
        await output?.settled();
        const compiled = await module;
        if (thisRun !== runs) return; // a later run took over
        show("running");
        terminal.reset();
        exitLine.textContent = "";
        output = terminalOutput(terminal);
        const write = output.write;
        const discipline = lineDiscipline(write, () => program.stop());
        const io = {
            write,
            read(most) {
                const typed = discipline.read(most);
                if (!(typed instanceof Promise)) return typed;
                show("reading");
                return typed.then((bytes) => {
                    if (thisRun === runs) show("running");
                    return bytes;
                });
            },
        };
        program = startProgram(compiled, name, io);
        keyboard = discipline;
        const status = await program.finished;
        if (thisRun !== runs) return;
        program = keyboard = null;
        show("exited");
        exitLine.textContent = status === STOPPED ? text("stopped") : text("exit_status", { status });
    }

    terminal.onData((data) => keyboard && keyboard.type(data));
    section.querySelector(".run").addEventListener("click", run);
    stopButton.addEventListener("click", () => program && program.stop());
    run();
}

// A section's program starts when the section comes within half a screen of
// the view, or when its Run button is pressed first, whichever is sooner;
// none starts before the page's first paint.
const near = new IntersectionObserver((entries) => {
    for (const entry of entries) if (entry.isIntersecting) start(entry.target);
}, { rootMargin: "50% 0px" });

const started = new Set();

function start(section) {
    if (started.has(section)) return;
    started.add(section);
    near.unobserve(section);
    // A program that could not be loaded says so under its first screen.
    setUpSection(section).catch((error) => {
        section.querySelector(".exit").textContent = error.message;
    });
}

const sections = document.querySelectorAll("section[id]");
for (const section of sections)
    section.querySelector(".run").addEventListener("click", () => start(section), { once: true });
addEventListener("load", () => requestAnimationFrame(() => requestAnimationFrame(() => {
    for (const section of sections) near.observe(section);
})));
