// Step through an edited program: its run is recorded in the page, by the
// compiler Run uses, and played in the same player as the program's own.
// The edit is compiled to record its run (instrument.js, in the compiler's
// worker) and run in the section's terminal, as Run runs it, so that a
// program that reads is recorded with what the reader types; its recorder
// (recorder.js, in the run's worker) hands the page its steps as they come.
// Once the run ends, by itself, by Stop, or at the recording's cap, the
// player opens on what was recorded. A source's run is recorded once: Step
// through again, or an address of the same edit, plays it again.
"use strict";

const editedRuns = new Map(); // each section's last recorded edit: { source, recording, end }

// Records the run of what SECTION's EDITOR holds, unless that source's is
// recorded already; answers { source, recording, end } (end as the line
// under the terminal said it), or null when the source did not compile or
// another run took the terminal's place.
async function recordEditedRun(section, editor) {
    const source = editor.source();
    if (editedRuns.get(section)?.source === source) return editedRuns.get(section);
    // The compile is followed in the editor, and the run seen, and typed
    // into, in the terminal, both of which a player covers.
    removePlayer(section);
    const compiled = await editor.compileEdit(true);
    if (!compiled) return null;
    const done = await new Promise((resolve) => runInSection(section, (terminal) => {
        const written = growingTerminal(section, terminal);
        let run = null;
        let end = null;
        return {
            start(io) {
                run = startEditedProgram(compiled.program, section.id, io, compiled.table);
                run.finished.then((status) => {
                    end = status === STOPPED ? text("stopped") : text("exit_status", { status });
                }, (error) => {
                    end = error.message;
                });
                return run;
            },
            written,
            ended() {
                written.finish();
                resolve({ source, recording: { program: section.id, ...run.recording }, end });
            },
            superseded: () => resolve(null),
        };
    }));
    if (done) editedRuns.set(section, done);
    return done;
}

// Opens SECTION's player at PLACE on its edited program's run.
async function openEditedPlayer(section, place) {
    const done = await recordEditedRun(section, editors.get(section));
    if (!done) return;
    const address = await editAddress(section.id, done.source);
    showPlayer(section, done.recording, place, { source: done.source, address, end: done.end });
}
