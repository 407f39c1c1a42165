// The page: each section's terminal first shows, as text in the page, the
// screen its program printed when the page was made. When the section comes
// near the view, the program starts in a terminal of xterm.js that takes the
// place of that text, and keeps running when scrolled away. Run starts it
// again on a clean screen, Stop or Ctrl-C ends it; the section's data-state
// says whether it is waiting to start, running, reading (waiting for a typed
// line) or exited, and the line under the terminal gives the exit status.
"use strict";

// The page's monospace stack, whose Hangul is exactly two columns wide, read
// when the first terminal is made rather than as the page loads, which would
// have its style worked out before it is first painted.
const monospace = () => getComputedStyle(document.documentElement).getPropertyValue("--monospace").trim();

// Output to a terminal that never runs ahead of it: a write is handed over at
// once when the terminal has taken everything before it, and otherwise, in
// the order written, once it has; write answers with a promise in that case,
// kept until the write is handed over. settled() answers once the terminal
// has taken everything written.
function terminalOutput(terminal) {
    const waiting = []; // the writes not yet handed over, each with its promise's resolve
    let busy = false; // whether the terminal has a write it has not yet taken
    let settling = []; // what settled() answered, to resolve once it is not busy
    function next() {
        const queued = waiting.shift();
        if (!queued) {
            busy = false;
            for (const resolve of settling.splice(0)) resolve();
            return;
        }
        queued.handedOver();
        terminal.write(queued.data, next);
    }
    function write(data) {
        if (busy) return new Promise((handedOver) => waiting.push({ data, handedOver }));
        busy = true;
        terminal.write(data, next);
        return undefined;
    }
    const settled = () => (busy ? new Promise((resolve) => settling.push(resolve)) : Promise.resolve());
    return { write, settled };
}

// Makes a section's terminal COLS by ROWS, and its box with it.
function resizeTerminal(section, terminal, cols, rows) {
    const screen = section.querySelector(".first-screen");
    screen.style.setProperty("--cols", cols);
    screen.style.setProperty("--rows", rows);
    terminal.resize(cols, rows);
}

// Sets up the section's terminal; answers with { run, terminal }, where
// run(how) runs the section's own program, or, as HOW gives, another one in
// its place (an edit of it): how.start(io) starts that one, how.written(data)
// sees each of its writes before the terminal does, how.ended() is called
// once it has ended, and how.superseded() instead when another run took its
// place first.
async function setUpSection(section) {
    const name = section.id;
    const cols = Number(section.dataset.cols);
    const rows = Number(section.dataset.rows);
    const module = loadProgram(name);
    await loadScript("xterm.js");
    Terminal.strings.promptLabel = text("terminal_input");
    Terminal.strings.tooMuchOutput = text("too_much_output");
    const scrollback = name === "stairprompt" ? 1000 : 0;
    const terminal = new Terminal({
        cols, rows, convertEol: true, fontFamily: monospace(), fontSize: 15, scrollback,
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

    async function run(how = null) {
        const thisRun = ++runs;
        if (program) program.stop();
        program = keyboard = null;
        // What a stopped run wrote reaches the terminal before it is cleared.
        await output?.settled();
        const compiled = await module;
        if (thisRun !== runs) return how?.superseded?.(); // a later run took over
        show("running");
        // Every run starts in the program's own terminal; an edited one may
        // grow it, and keeps what scrolls off its top.
        terminal.options.scrollback = how ? 1000 : scrollback;
        resizeTerminal(section, terminal, cols, rows);
        terminal.reset();
        exitLine.textContent = "";
        output = terminalOutput(terminal);
        const write = how?.written ? (data) => (how.written(data), output.write(data)) : output.write;
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
        program = how ? how.start(io) : startProgram(compiled, name, io);
        keyboard = discipline;
        let end;
        try {
            const status = await program.finished;
            end = status === STOPPED ? text("stopped") : text("exit_status", { status });
        } catch (error) {
            end = error.message; // a program that crashed says how
        }
        if (thisRun !== runs) return how?.superseded?.();
        program = keyboard = null;
        show("exited");
        exitLine.textContent = end;
        if (how?.ended) {
            // Once the terminal shows all the run wrote.
            await output.settled();
            if (thisRun === runs) how.ended();
            else how.superseded?.();
        }
    }

    terminal.onData((data) => keyboard && keyboard.type(data));
    stopButton.addEventListener("click", () => program && program.stop());
    return { run, terminal };
}

// A section's program starts when the section comes within half a screen of
// the view, or when its Run button is pressed first, whichever is sooner;
// none starts before the page's first paint. While something else is to run
// in a section's terminal (an edit of its program), Run runs that instead,
// and it is that which starts there.
const near = new IntersectionObserver((entries) => {
    for (const entry of entries) if (entry.isIntersecting) start(entry.target);
}, { rootMargin: "50% 0px" });

const terminals = new Map(); // each started section's terminal: a promise of { run, terminal }
const runInstead = new Map(); // what Run does in a section, if not to run its own program

// Answers with the section's terminal, setting it up first if need be.
function start(section) {
    if (!terminals.has(section)) {
        near.unobserve(section);
        const setUp = setUpSection(section);
        terminals.set(section, setUp);
        setUp.then(({ run }) => runInstead.has(section) || run()).catch((error) => {
            // A program that could not be loaded says so under its first screen.
            section.querySelector(".exit").textContent = error.message;
        });
    }
    return terminals.get(section);
}

// Runs in the section's terminal, once it is set up, what HOW(terminal)
// gives: a run's how, as setUpSection's run takes it.
function runInSection(section, how) {
    return start(section).then(({ run, terminal }) => run(how(terminal)));
}

const sections = document.querySelectorAll("section[id]");
for (const section of sections) {
    section.querySelector(".run").addEventListener("click", () => {
        if (runInstead.has(section)) runInstead.get(section)();
        else if (terminals.has(section)) terminals.get(section).then(({ run }) => run());
        else start(section);
    });
}
addEventListener("load", () => requestAnimationFrame(() => requestAnimationFrame(() => {
    for (const section of sections) near.observe(section);
})));
