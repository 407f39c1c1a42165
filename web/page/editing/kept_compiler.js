// The compiler's files, kept in the browser's Cache Storage so that a
// reader who comes back, after a reload, in a new tab or the next day, does
// not wait for them again: fetched once, then taken from there, where the
// browser also keeps the code it compiled from them. They are kept under a
// name made from what they hold (compiler/manifest.json's kept.name), so a
// page built with another compiler never takes what an older one kept, and
// the older one's are let go. A kept file that proves bad, cut short or
// changed, is fetched again: the sysroot is checked against its size and
// SHA-256 as it is read, and a module that does not compile is the sign of
// a bad one. A browser that keeps nothing, or private browsing, fetches
// them every time. Used by the compiler's worker (compile_worker.js).

const MANIFEST = new URL("compiler/manifest.json", import.meta.url);
const OURS = "textpictures-compiler-";

export const manifest = fetch(MANIFEST).then((response) => response.json());

let fresh = false; // once a kept file proved bad: every file from the network again
const keeping = []; // the keeping of each file fetched, once it is done
let counted = null; // told how many bytes each file took from the network

// The browser's Cache Storage, or null where it keeps nothing.
const storage = () => globalThis.caches ?? null;

// The cache of what is kept, or null where the browser keeps nothing.
async function keptCache() {
    const { kept } = await manifest;
    try {
        return await storage().open(kept.name);
    } catch {
        return null;
    }
}

// Whether BYTES are the file FACTS describe.
async function intact(bytes, { size, sha256 }) {
    if (bytes.byteLength !== size) return false;
    const digest = new Uint8Array(await crypto.subtle.digest("SHA-256", bytes));
    return [...digest].map((byte) => byte.toString(16).padStart(2, "0")).join("") === sha256;
}

// Lets go what older compilers kept.
async function letGoOthers(name) {
    try {
        for (const key of await storage().keys()) if (key.startsWith(OURS) && key !== name) await storage().delete(key);
    } catch {
        // Nothing was kept.
    }
}

// The response for the compiler's file at URL: the one kept, or else one
// from the network, kept as it comes. The sysroot's is checked, whole.
export async function fetchCompilerFile(url) {
    const { kept } = await manifest;
    const name = new URL(url).pathname.split("/").at(-1);
    const facts = kept.files[name];
    const cache = facts ? await keptCache() : null;
    let response = fresh ? null : await cache?.match(url).catch(() => null);
    if (response && name.endsWith(".tar")) {
        const bytes = await response.arrayBuffer();
        response = (await intact(bytes, facts)) ? new Response(bytes) : null;
    }
    if (response) return response;
    response = await fetch(url, fresh ? { cache: "reload" } : {});
    if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
    if (counted) {
        const reader = response.clone().body.getReader();
        (async () => {
            for (let part; !(part = await reader.read()).done;) counted(part.value.length);
        })().catch(() => {});
    }
    // Kept as it comes, from the one fetch: a browser whose own cache does
    // not hold a file this large would fetch it again to keep it later.
    if (cache) keeping.push(cache.put(url, response.clone()).catch(() => {}));
    return response;
}

// The module in the compiler's file NAME, compiled as it comes.
export async function compiledFile(name) {
    return WebAssembly.compileStreaming(fetchCompilerFile(new URL(`compiler/${name}`, import.meta.url)));
}

// Runs READY, which loads the compiler from its files, telling COUNT the
// bytes they take from the network; if what was kept proves bad, lets it
// go and runs READY once more on files from the network.
export async function fromKept(ready, count) {
    counted = count;
    let made;
    try {
        made = await ready();
    } catch (error) {
        if (fresh) throw error;
        fresh = true;
        const { kept } = await manifest;
        await storage()?.delete(kept.name).catch(() => {});
        made = await ready();
    }
    keep().catch(() => {}); // a browser that keeps nothing: the next visit fetches again
    return made;
}

// Once the files fetched are kept, lets go what older compilers kept.
async function keep() {
    await Promise.all(keeping.splice(0));
    await letGoOthers((await manifest).kept.name);
}
