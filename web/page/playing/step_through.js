// How a player opens: from a section's Step through button, or from an
// address, #NAME/step/K or #NAME/cell/ROW/COL, when the page loads and
// whenever the address changes. The player itself (player.js), its style,
// its texts and the program's recording load only then. While the program
// is edited, Step through plays the edit's run, recorded in the page
// (edited_recording.js), whose addresses are the editor's (editing.js);
// the program's own addresses still play its own run.
"use strict";

// Opens the section's player at PLACE: { step: K } or { cell: [ROW, COL] },
// on the program's OWN run, or else on the edit's if the program is edited.
async function openPlayer(section, place, own = false) {
    try {
        const [recording] = await Promise.all([
            loadRecording(section.id), loadScript("texts.js"), loadScript("recording.js"),
            loadScript("calls.js"), loadScript("player.js"), loadStyle("player.css")]);
        if (!own && typeof editors !== "undefined" && editors.get(section)?.edited()) await openEditedPlayer(section, place);
        else showPlayer(section, recording, place);
    } catch (error) {
        section.querySelector(".exit").textContent = error.message;
    }
}

function followAddress() {
    const found = /^#(\w+)\/(?:step\/(\d+)|cell\/(\d+)\/(\d+))$/.exec(location.hash);
    const section = found && document.getElementById(found[1]);
    if (section?.tagName !== "SECTION") return;
    openPlayer(section, found[2] !== undefined ? { step: Number(found[2]) }
                                               : { cell: [Number(found[3]), Number(found[4])] }, true);
}

for (const section of document.querySelectorAll("section[id]"))
    section.querySelector(".step-through").addEventListener("click", () => openPlayer(section, { step: 0 }));
addEventListener("hashchange", followAddress);
followAddress();
