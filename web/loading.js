// What the page fetches only when a program first starts, so that none of it
// stands in the way of the first paint: xterm.js, and each program compiled
// to WebAssembly, in a script of its own (programs/NAME.js), since a page
// opened from disk may load scripts but not fetch files.
"use strict";

const scripts = new Map(); // a promise of each script's loading, by address
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
