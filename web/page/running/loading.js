// What the page fetches only when a program first starts, so that none of it
// stands in the way of the first paint: xterm.js, and each program compiled
// to WebAssembly, in a script of its own (programs/NAME.js), since a page
// opened from disk may load scripts but not fetch files; and, when a player
// first opens, the player, its style and the program's recorded run
// (recordings/NAME.js). The page is in English (index.html) and in Korean
// (ko/index.html); both load the same files, from the folder this script is
// in, and say what they say in their own language (text).
"use strict";

// The folder of the page's files, whichever page loaded them.
const PAGE_FOLDER = new URL(".", document.currentScript.src);
const scripts = new Map(); // a promise of each script's or style's loading, by address
const programs = {}; // each program's module, gzip-compressed, in base64

// The page's texts in its own language: those of the first scripts, in the
// page itself, and those of the player and the editor once texts.js has
// loaded with them.
const LANGUAGE = document.documentElement.lang;
const texts = JSON.parse(document.getElementById("texts").textContent);

// Called by texts.js as it runs.
function textsLoaded(every) {
    Object.assign(texts, every[LANGUAGE]);
}

// The text called KEY, each {word} in it replaced by that value of VALUES.
function text(key, values = {}) {
    return texts[key].replace(/\{(\w+)\}/g, (_, word) => values[word]);
}

// Loads the script at src, a path in the page's folder, once; answers when it has run.
function loadScript(src) {
    if (!scripts.has(src)) {
        scripts.set(src, new Promise((resolve, reject) => {
            const script = document.createElement("script");
            script.src = new URL(src, PAGE_FOLDER);
            script.onload = resolve;
            script.onerror = () => reject(new Error(text("not_loaded", { file: src })));
            document.head.append(script);
        }));
    }
    return scripts.get(src);
}

// Called by programs/NAME.js as it runs.
function programLoaded(name, base64) {
    programs[name] = base64;
}

// Answers with the program's compiled module.
async function loadProgram(name) {
    await loadScript(`programs/${name}.js`);
    const packed = Uint8Array.from(atob(programs[name]), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream("gzip"));
    return WebAssembly.compile(await new Response(stream).arrayBuffer());
}

const recordings = {}; // each program's recorded run, for its player

// Called by recordings/NAME.js as it runs.
function recordingLoaded(name, recording) {
    recordings[name] = recording;
}

// Answers with the program's recorded run (record.py).
async function loadRecording(name) {
    await loadScript(`recordings/${name}.js`);
    return recordings[name];
}

// Loads the style sheet at href, a path in the page's folder, once; answers when it applies.
function loadStyle(href) {
    if (!scripts.has(href)) {
        scripts.set(href, new Promise((resolve, reject) => {
            const link = document.createElement("link");
            link.rel = "stylesheet";
            link.href = new URL(href, PAGE_FOLDER);
            link.onload = resolve;
            link.onerror = () => reject(new Error(text("not_loaded", { file: href })));
            document.head.append(link);
        }));
    }
    return scripts.get(href);
}
