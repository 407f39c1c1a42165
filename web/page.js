// The page: every section runs its program in a terminal of its own as soon
// as the page has loaded. Run starts it again on a clean screen, Stop or
// Ctrl-C ends it; the section's data-state says whether it is running,
// reading (waiting for a typed line) or exited, and the line under the
// terminal gives the exit status.
"use strict";

// Each terminal's columns and rows: its whole picture, and the line the
// cursor ends on. stairprompt's is for typing into, with room to scroll back.
const SIZES = {
    gasket: [23, 13], gridshapes: [12, 13], apex: [21, 12], funnel: [21, 22],
    waist: [21, 22], wedge: [81, 22], drain: [21, 12], stairfixed: [7, 8],
    stairprompt: [40, 16], steeple: [7, 6], hello: [13, 3], hellostream: [13, 3],
};

// The page's monospace stack, whose Hangul is exactly two columns wide.
const FONT = getComputedStyle(document.documentElement).getPropertyValue("--monospace").trim();

// The program modules are kept compressed in programs.js.
async function compile(base64) {
    const packed = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream("gzip"));
    return WebAssembly.compile(await new Response(stream).arrayBuffer());
}

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

function setUpSection(section, module) {
    const name = section.id;
    const [cols, rows] = SIZES[name];
    const terminal = new Terminal({
        cols, rows, convertEol: true, fontFamily: FONT, fontSize: 15,
        scrollback: name === "stairprompt" ? 1000 : 0,
        theme: { background: "#1d1f21", foreground: "#e0e0e0", cursor: "#e0e0e0" },
    });
    terminal.open(section.querySelector(".terminal"));
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
        show("running");
        // What a stopped run wrote reaches the terminal before it is cleared.
        await output?.settled();
        const compiled = await module;
        if (thisRun !== runs) return; // a later run took over
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
        exitLine.textContent = status === STOPPED ? "stopped" : `exit status ${status}`;
    }

    terminal.onData((data) => keyboard && keyboard.type(data));
    section.querySelector(".run").addEventListener("click", run);
    stopButton.addEventListener("click", () => program && program.stop());
    run();
}

for (const section of document.querySelectorAll("section[id]"))
    setUpSection(section, compile(PROGRAMS[section.id]));
