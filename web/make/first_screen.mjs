// first_screen.mjs MODULE: runs a program compiled to WebAssembly under
// Node's WASI and writes to standard output what the program writes before
// it first waits: for a typed line (stairprompt's prompt), for a sleep to
// end (drain's first frame), or, for the others, until it exits. That is the
// screen the page shows for it before the program itself runs there.
import { readFileSync } from "node:fs";
import { WASI } from "node:wasi";

const [module] = process.argv.slice(2);
const wasi = new WASI({ version: "preview1", args: [module], env: {}, returnOnExit: true });
const imports = wasi.getImportObject();

// The first call that would wait ends the run instead.
const FIRST_WAIT = new Error("the program waits");
for (const call of ["fd_read", "poll_oneoff"]) {
    imports.wasi_snapshot_preview1[call] = () => {
        throw FIRST_WAIT;
    };
}

const instance = await WebAssembly.instantiate(await WebAssembly.compile(readFileSync(module)), imports);
try {
    process.exitCode = wasi.start(instance);
} catch (error) {
    if (error !== FIRST_WAIT) throw error;
}
