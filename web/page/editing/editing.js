// How an editor opens: from a section's Edit button, or from an address,
// #NAME/edit/DATA, when the page loads and whenever the address changes,
// which also runs what it holds; #NAME/edit/DATA/step/K and
// #NAME/edit/DATA/cell/ROW/COL open the editor and then the player of that
// edit's run, recorded first. An address brings its section into view. Edit
// again closes the editor, keeping the edit; Reset gives back the program's
// own source. A section whose program has an edit kept in the browser says
// so. The editor (editor.js), CodeMirror and the rest of what editing needs
// load only when an editor first opens, and the compiler only when an edit
// is first run.
"use strict";

const EDITING = ["texts.js", "codemirror.js", "edit_address.js", "compiling.js", "growing_terminal.js",
                 "edited_run.js", "recording.js", "differences.js", "editor.js", "edited_recording.js"];

const isKept = (name) => {
    try {
        return localStorage.getItem(`textpictures:edit:${name}`) !== null;
    } catch {
        return false;
    }
};

// Opens the section's editor, holding SOURCE if given, the address
// following it unless FOLLOW is false; answers the editor. From the moment
// it is asked for, Run runs what the editor will hold, once it is open.
async function openEditor(section, source = null, follow = true) {
    const opening = (async () => {
        await Promise.all([...EDITING.map(loadScript), loadStyle("editor.css")]);
        warmCompiler(true);
        await showEditor(section, source, follow);
        section.querySelector(".kept")?.remove();
        return editors.get(section);
    })();
    if (!runInstead.has(section)) runInstead.set(section, () => opening.then((editor) => editor?.run()));
    try {
        return await opening;
    } catch (error) {
        runInstead.delete(section);
        section.querySelector(".exit").textContent = error.message;
        return null;
    }
}

async function followEditAddress() {
    const found = /^#(\w+)\/edit\/([\w-]*)(?:\/(?:step\/(\d+)|cell\/(\d+)\/(\d+)))?$/.exec(location.hash);
    const section = found && document.getElementById(found[1]);
    if (section?.tagName !== "SECTION") return;
    if (!section.classList.contains("editing")) section.scrollIntoView();
    // The address compiles its edit: the compiler is made ready meanwhile.
    loadScript("compiling.js").then(() => warmCompiler()).catch(() => {});
    await Promise.all(EDITING.map(loadScript));
    let source;
    try {
        source = await sourceOfAddress(found[2]);
    } catch (error) {
        // An address that holds no source opens nothing; one whose source
        // is far too large opens the editor as it was, refusing it.
        if (error.tooLarge) (await openEditor(section))?.refuse(error.tooLarge);
        return;
    }
    const place = found[3] !== undefined ? { step: Number(found[3]) }
        : found[4] !== undefined ? { cell: [Number(found[4]), Number(found[5])] } : null;
    const editor = await openEditor(section, source, !place);
    if (editor && place) openPlayer(section, place);
    else editor?.run();
}

for (const section of document.querySelectorAll("section[id]")) {
    const edit = section.querySelector(".edit");
    const reset = section.querySelector(".reset");
    edit.addEventListener("click", () => {
        if (edit.getAttribute("aria-pressed") === "true") editors.get(section).close();
        else openEditor(section);
    });
    reset.addEventListener("click", async () => {
        if (typeof editors !== "undefined" && editors.has(section)) {
            editors.get(section).reset();
        } else {
            try {
                localStorage.removeItem(`textpictures:edit:${section.id}`);
            } catch {
                // Nothing was kept.
            }
            reset.disabled = true;
        }
        if (edit.getAttribute("aria-pressed") !== "true") section.querySelector(".kept")?.remove();
    });
    if (isKept(section.id)) {
        const note = document.createElement("p");
        note.className = "kept";
        note.textContent = text("edit_kept");
        section.querySelector(".controls").after(note);
        reset.disabled = false;
    }
}
addEventListener("hashchange", followEditAddress);
followEditAddress();
