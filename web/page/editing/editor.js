// The editor: Edit turns a section's listing into an editor of the program's
// source (CodeMirror, codemirror.js). While it is open, Run compiles what it
// holds in the page (compiling.js) and runs that in the section's terminal
// (edited_run.js), which grows to what it writes (growing_terminal.js), and
// marks where its screen differs from the program's own (differences.js).
// What the compiler says is listed under the editor, each line of the
// source it names linked to and marked there; a source that does not
// compile leaves the terminal as it was. What is typed is kept in the
// browser until Reset, and the address follows the editor as
// #NAME/edit/DATA (edit_address.js).
"use strict";

const editors = new Map(); // each section's editor, made when it first opens
const MOST_SOURCE_KB = 100; // the largest source the page compiles, in KB of 1024 bytes

// What the compiler says of a line: FILE:LINE:COLUMN: KIND: MESSAGE.
const DIAGNOSTIC = /^(.+?):(\d+):\d+: ((?:fatal )?error|warning|note): (.*)$/;
const INCLUDED = /^In file included from (.+?):(\d+):$/;
const LINKER = /^wasm-ld: (error|warning): (.*)$/;

// Where an edit of NAME is kept in the browser.
const keptKey = (name) => `textpictures:edit:${name}`;

function showEditor(section, source, follow = true) {
    if (!editors.has(section)) editors.set(section, makeEditor(section));
    return editors.get(section).open(source, follow);
}

// The diagnostics in what the compiler SAID of the source at PATH, each
// { line, kind, message }: the line is the source's, or, for one in a
// header, that of the source's #include that brought the header in.
function diagnostics(said, path) {
    const found = [];
    let including = null;
    for (const line of said.split("\n")) {
        const included = INCLUDED.exec(line);
        const diagnostic = DIAGNOSTIC.exec(line);
        const linker = LINKER.exec(line);
        if (included) {
            if (included[1] === path) including = Number(included[2]);
        } else if (diagnostic) {
            const [, file, at, kind, message] = diagnostic;
            const own = file === path;
            found.push({ line: own ? Number(at) : including, kind,
                         message: own ? `${kind}: ${message}` : `${file}:${at}: ${kind}: ${message}` });
            if (kind !== "note") including = null;
        } else if (linker) {
            found.push({ line: null, kind: linker[1], message: line });
        }
    }
    return found;
}

function makeEditor(section) {
    const name = section.id;
    const path = section.querySelector(".source-name").textContent;
    const listing = section.querySelector(".listing");
    const own = listing.textContent; // the program's own source, exactly
    const editButton = section.querySelector(".edit");
    const resetButton = section.querySelector(".reset");
    const cm = CodeMirror;

    const box = document.createElement("div");
    box.className = "editor";
    box.innerHTML = `<div class="editor-view"></div>
<p class="compile-status" data-compile-status aria-live="polite"></p>
<progress class="fetching" max="1" value="0" hidden></progress>
<h3 class="diagnostics-heading" hidden>${text("diagnostics")}</h3>
<ol data-diagnostics></ol>`;
    listing.after(box);
    const status = box.querySelector("[data-compile-status]");
    const progress = box.querySelector("progress");
    const list = box.querySelector("[data-diagnostics]");

    // The lines the compiler named, marked in the editor.
    const setMarks = cm.StateEffect.define();
    const marks = cm.StateField.define({
        create: () => cm.Decoration.none,
        update(value, change) {
            value = value.map(change.changes);
            for (const effect of change.effects) if (effect.is(setMarks)) value = effect.value;
            return value;
        },
        provide: (field) => cm.EditorView.decorations.from(field),
    });

    let kept = null;
    try {
        kept = localStorage.getItem(keptKey(name));
    } catch {
        // Nothing is kept.
    }
    let saveTimer = null;
    const view = new cm.EditorView({
        parent: box.querySelector(".editor-view"),
        state: cm.EditorState.create({
            doc: kept ?? own,
            extensions: [
                cm.lineNumbers(), cm.highlightActiveLineGutter(), cm.history(), cm.drawSelection(),
                cm.indentOnInput(), cm.bracketMatching(), cm.syntaxHighlighting(cm.classHighlighter), cm.cpp(),
                cm.keymap.of([...cm.defaultKeymap, ...cm.historyKeymap]), marks,
                // Its text is in the page's order of focus, as the scroller it is in must show.
                cm.EditorView.contentAttributes.of({ "aria-label": text("editor_label", { name }), tabindex: "0" }),
                cm.EditorView.updateListener.of((update) => {
                    if (!update.docChanged) return;
                    // Only what the reader types is kept: an edit opened from
                    // a link does not replace one of their own until they
                    // change it.
                    const typed = update.transactions.some((change) => change.annotation(cm.Transaction.userEvent));
                    clearTimeout(saveTimer);
                    saveTimer = setTimeout(() => save(typed), 300);
                }),
            ],
        }),
    });

    const current = () => view.state.doc.toString();

    // Keeps the text, if typed, and puts it in the address.
    async function save(typed) {
        const source = current();
        if (typed) {
            try {
                if (source === own) localStorage.removeItem(keptKey(name));
                else localStorage.setItem(keptKey(name), source);
            } catch {
                // A browser that keeps nothing keeps the address still.
            }
        }
        // While a player is open, the address is the player's.
        if (section.classList.contains("editing") && !section.classList.contains("stepping"))
            followEditor(await editAddress(name, source));
    }

    function replace(source) {
        view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: source } });
    }

    // What the compiler is doing, said, and named in the status's
    // data-compile-status: fetching, compiling, done, failed, refused (a
    // source too large), needs-http or broken (the compiler could not run).
    function say(phase, key, values) {
        status.dataset.compileStatus = phase;
        status.textContent = text(key, values);
    }

    function showDiagnostics(found) {
        list.innerHTML = "";
        box.querySelector(".diagnostics-heading").hidden = found.length === 0;
        for (const { line, kind, message } of found) {
            const item = document.createElement("li");
            item.className = kind.replace("fatal ", "");
            if (line) {
                item.dataset.line = line;
                const to = document.createElement("button");
                to.type = "button";
                to.textContent = text("diagnostic_line", { line });
                to.addEventListener("click", () => {
                    const at = view.state.doc.line(Math.min(line, view.state.doc.lines));
                    view.dispatch({ selection: { anchor: at.from }, scrollIntoView: true });
                    view.focus();
                });
                item.append(to, " ");
            }
            const said = document.createElement("code");
            said.textContent = message;
            item.append(said);
            list.append(item);
        }
        const lines = found.filter(({ line, kind }) => line && kind !== "note")
            .map(({ line, kind, message }) => cm.Decoration.line({
                class: kind === "warning" ? "marked-warning" : "marked-error", attributes: { title: message },
            }).range(view.state.doc.line(Math.min(line, view.state.doc.lines)).from));
        view.dispatch({ effects: setMarks.of(cm.Decoration.set(lines, true)) });
    }

    let compiled = Promise.resolve(); // the compile asked for last, once done
    let asked = null; // that compile's source, and whether it records, until it is done

    // Compiles what the editor holds, after any compile asked for before,
    // saying how it goes, and lists what the compiler says; answers
    // { program, said } (and the recorder's table when RECORD asks for a
    // program that records its run), or null when there is nothing to run,
    // or when the same compile is asked for again before it is done.
    async function compileEdit(record = false) {
        const source = current();
        if (asked?.source === source && asked.record === record) return null;
        const mine = { source, record };
        asked = mine;
        const before = compiled;
        let done;
        compiled = new Promise((resolve) => (done = resolve));
        try {
            await before;
            return await compileNow(source, record);
        } finally {
            if (asked === mine) asked = null;
            done();
        }
    }

    async function compileNow(source, record) {
        const size = new TextEncoder().encode(source).length;
        if (size > MOST_SOURCE_KB * 1024) {
            say("refused", "too_large", { size, limit: MOST_SOURCE_KB });
            return null;
        }
        if (!canCompile()) {
            // The one command that serves the page's folder, and where it then is.
            const folder = decodeURIComponent(PAGE_FOLDER.pathname);
            const page = location.pathname.slice(PAGE_FOLDER.pathname.length);
            const code = (words) => `<code>${words.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`)}</code>`;
            say("needs-http", "needs_http", { command: "", address: "" });
            status.innerHTML = text("needs_http", {
                command: code(`python3 -m http.server -d ${/\s/.test(folder) ? `'${folder}'` : folder}`),
                address: code(`http://localhost:8000/${page === "index.html" ? "" : page}`) });
            return null;
        }
        const started = performance.now();
        say("compiling", "compiling");
        try {
            const compiled = await compileSource(path, source, (done, total) => {
                progress.hidden = false;
                progress.value = done / total;
                if (done < total) say("fetching", "fetching", { done: (done / 1e6).toFixed(1), total: (total / 1e6).toFixed(1) });
                else say("compiling", "compiling");
            }, record);
            progress.hidden = true;
            const found = diagnostics(compiled.said, path);
            showDiagnostics(found);
            if (!compiled.program) {
                say("failed", "compile_failed");
                return null;
            }
            const seconds = ((performance.now() - started) / 1000).toFixed(1);
            say("done", found.length ? "compiled_warnings" : "compiled", { seconds });
            // When the compiler was ready, had compiled and had made the
            // program pausable, in ms from the compile's start.
            status.dataset.compileTimes = JSON.stringify(compiled.times ?? {});
            return compiled;
        } catch (error) {
            progress.hidden = true;
            status.dataset.compileStatus = "broken";
            status.textContent = error.message;
            return null;
        }
    }

    async function run() {
        const compiled = await compileEdit();
        if (!compiled) return;
        runInSection(section, (terminal) => {
            const written = growingTerminal(section, terminal);
            return {
                start: (io) => startEditedProgram(compiled.program, name, io),
                written,
                ended: () => {
                    written.finish();
                    markDifferences(section, terminal);
                },
            };
        });
    }

    clearDifferencesOnRun(section);

    return {
        // Opens the editor, holding SOURCE if given, or else what it held:
        // first the edit kept, or the program's own source. The address
        // follows it, unless FOLLOW is false (a player is to open).
        async open(source, follow = true) {
            if (source !== null && source !== current()) replace(source);
            section.classList.add("editing");
            editButton.setAttribute("aria-pressed", "true");
            resetButton.disabled = false;
            runInstead.set(section, run);
            if (follow) followEditor(await editAddress(name, current()));
        },
        // What the editor holds, and whether the section's program is edited:
        // the editor open, holding other than the program's own source.
        source: current,
        edited: () => section.classList.contains("editing") && current() !== own,
        compileEdit,
        close() {
            section.classList.remove("editing");
            editButton.setAttribute("aria-pressed", "false");
            runInstead.delete(section);
            followEditor(`#${name}`);
        },
        // Back to the program's own source, no edit kept.
        reset() {
            replace(own);
            showDiagnostics([]);
            status.textContent = "";
            status.dataset.compileStatus = "";
            try {
                localStorage.removeItem(keptKey(name));
            } catch {
                // Nothing was kept.
            }
        },
        run,
        // Says that a source of SIZE bytes is too large to compile.
        refuse: (size) => say("refused", "too_large", { size, limit: MOST_SOURCE_KB }),
    };
}

// The address follows the editor last changed, though not more often than
// four times a second; but an address that a link or the reader gives
// meanwhile stands.
let editAddressTimer = null;

function followEditor(address) {
    clearTimeout(editAddressTimer);
    const given = location.hash;
    editAddressTimer = setTimeout(() => {
        if (location.hash === given) history.replaceState(null, "", address);
    }, 250);
}
