// What the page fetches only when a program first starts, so that none of it
// stands in the way of the first paint: xterm.js, and each program compiled
// to WebAssembly, in a script of its own (programs/NAME.js), since a page
// opened from disk may load scripts but not fetch files; and, when a player
// first opens, the player, its style and the program's recorded run
// (recordings/NAME.js).
"use strict";

const scripts = new Map(); // a promise of each script's or style's loading, by address
const programs = {}; // each program's module, gzip-compressed, in base64

// Loads the script at src once; answers when it has run.
function loadScript(src) {
    if (!scripts.has(src)) {
        scripts.set(src, new Promise((resolve, reject) => {
            const script = document.createElement("script");
            script.src = src;
            script.onload = resolve;
            script.onerror = () => reject(new Error(`${src} did not load`));
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

// Loads the style sheet at href once; answers when it applies.
function loadStyle(href) {
    if (!scripts.has(href)) {
        scripts.set(href, new Promise((resolve, reject) => {
            const link = document.createElement("link");
            link.rel = "stylesheet";
            link.href = href;
            link.onload = resolve;
            link.onerror = () => reject(new Error(`${href} did not load`));
            document.head.append(link);
        }));
    }
    return scripts.get(href);
}
