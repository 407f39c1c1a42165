// The compiler of the page's editor, in a worker of its own, as compiling
// holds up the thread it runs on: Clang and LLD for WebAssembly and WASI (the
// npm package @yowasp/clang, in compiler/), and binaryen.js's Asyncify, which
// makes what it links able to pause in a write, a read or a sleep, as the
// page's own programs are. Their files are fetched the first time they are
// needed and kept in the browser (kept_compiler.js). compiler/manifest.json
// gives the flags of the page's own build, the repository's headers and the
// files the compiler fetches.
//
// { warm: true } asks for the compiler to be made ready, its files fetched or
// taken from where they are kept, before it is asked to compile anything.
//
// Where the browser has them it is a shared worker, one for every tab of the
// page, so that a tab opened while another has it finds the compiler ready:
// each tab talks to it through a port of its own, and the worker answers
// each compile on the port that asked. Elsewhere each tab has its own.
//
// Each message, { path, source }, asks for one program's source, compiled
// at its path in the repository beside those headers. The worker answers
// with { fetched, total } as the compiler's files come in, then with
// { program, said } (the program, pausable, and what the compiler said), or
// { said } when the compile failed, or { broke } when the compiler could
// not run at all.
//
// { path, source, record: true } asks for the program made to record its
// run for the player: compiled at -O0 with debug information to LLVM IR,
// instrumented (instrument.js), then compiled on; the answer's table tells
// the recorder what its hooks refer to.
import { runClang, runLLVM } from "./compiler/bundle.js";
import { instrument } from "./instrument.js";
import { compiledFile, fetchCompilerFile, fromKept, manifest } from "./kept_compiler.js";

// The compiler fetches its files through the page's fetch, which keeps them.
globalThis.fetchCompilerFile = fetchCompilerFile;

let ready = null; // a promise of the compiler made ready: clang's files taken in, and binaryen.js

// binaryen.js, its module compiled from its own file.
async function loadBinaryen() {
    const module = await compiledFile("binaryen.wasm");
    globalThis.binaryenOptions = {
        instantiateWasm(imports, done) {
            WebAssembly.instantiate(module, imports).then(done);
            return {};
        },
    };
    return (await import("./compiler/binaryen.js")).default;
}

const waiting = new Set(); // the ports of the tabs waiting for the compiler to be ready

// Makes the compiler ready once, telling the tabs waiting for it how much of
// its files has come in from the network; answers binaryen.js.
function prepare() {
    ready ??= (async () => {
        const { kept } = await manifest;
        const total = Object.values(kept.files).reduce((sum, { size }) => sum + size, 0);
        let done = 0;
        const count = (bytes) => {
            done += bytes;
            for (const port of waiting) port.postMessage({ fetched: done, total });
        };
        return fromKept(async () => (await Promise.all([runLLVM(null, {}, {}), loadBinaryen()]))[1], count);
    })().catch((error) => {
        ready = null;
        throw error;
    });
    return ready;
}

// The WebAssembly features clang 21 uses by default, which every engine the
// page runs in has.
const FEATURES = ["MutableGlobals", "NontrappingFPToInt", "BulkMemory", "BulkMemoryOpt", "SignExt",
                  "ReferenceTypes", "Multivalue", "CallIndirectOverlong"];

// The call that reads input, the one a recorded run may pause in.
const READ = "wasi_snapshot_preview1.fd_read";

// The files as clang's virtual file system holds them: a tree of folders.
function tree(files) {
    const root = {};
    for (const [path, text] of Object.entries(files)) {
        const parts = path.split("/");
        let folder = root;
        for (const part of parts.slice(0, -1)) folder = folder[part] ??= {};
        folder[parts.at(-1)] = text;
    }
    return root;
}

// The linked program, made able to pause where the page's system interface
// may have to wait.
function pausable(tool, linked, waiting) {
    const module = tool.readBinary(linked);
    try {
        module.setFeatures(FEATURES.reduce((all, feature) => all | tool.Features[feature], 0));
        tool.setOptimizeLevel(0); // soonest done; optimising takes seconds on a large program
        tool.setShrinkLevel(0);
        tool.setPassArgument("asyncify-imports", waiting.join(","));
        module.runPasses(["asyncify"]);
        return module.emitBinary();
    } finally {
        module.dispose();
    }
}

// The program made to record its run, from the compiler's IR of it: the
// same language and warnings as the page's build, at -O0 with debug
// information, as the build's recordings are made, and stepping through the
// program's own functions and its headers' but for those taken as one step.
async function recorded(path, source, { flags, headers, oneStep }, hear) {
    const compileFlags = flags.filter((flag) => !/^-O|^-DNDEBUG$|^-Wl,/.test(flag));
    const linkFlags = flags.filter((flag) => /^--target=|^-Wl,/.test(flag));
    const files = tree({ ...headers, [path]: source });
    const ir = (await runClang(["clang++", ...compileFlags, "-O0", "-g", "-S", "-emit-llvm", path, "-o", "program.ll"],
                               files, { stdout: hear, stderr: hear }))["program.ll"];
    const stepped = (file, name) => (file === path || file in headers) && !oneStep.functions.includes(name)
        && !oneStep.files.some((one) => file.startsWith(one));
    const made = instrument(ir, { path, stepped, headers });
    const built = await runClang(["clang++", ...linkFlags, "-O0", "program.ll", "-o", "program.wasm"],
                                 { "program.ll": made.ir }, { stdout: hear, stderr: hear });
    return { built: built["program.wasm"], table: made.table };
}

// Compiles as a message from PORT asks, and answers there.
async function compile({ path, source, record }, port) {
    const { flags, headers, waiting: pauses } = await manifest;
    const decoder = new TextDecoder();
    let said = "";
    const hear = (bytes) => {
        if (bytes) said += decoder.decode(bytes, { stream: true });
    };
    // When each part of the compile ended, in ms from its start.
    const began = performance.now();
    const times = {};
    const mark = (part) => (times[part] = Math.round(performance.now() - began));
    try {
        waiting.add(port);
        const binaryen = await prepare().finally(() => waiting.delete(port));
        mark("ready");
        if (record) {
            // A recorded run sleeps no time and hands its writes on without
            // waiting: only a read may have to pause it.
            const { built, table } = await recorded(path, source, await manifest, hear);
            const reads = WebAssembly.Module.imports(await WebAssembly.compile(built))
                .some(({ module, name }) => `${module}.${name}` === READ);
            const program = reads ? pausable(binaryen, built, [READ]) : built;
            port.postMessage({ program, said, table }, [program.buffer]);
            return;
        }
        const built = await runClang(["clang++", ...flags, path, "-o", "program.wasm"],
                                     tree({ ...headers, [path]: source }), { stdout: hear, stderr: hear });
        mark("compiled");
        const program = pausable(binaryen, built["program.wasm"], pauses);
        mark("pausable");
        port.postMessage({ program, said, times }, [program.buffer]);
    } catch (error) {
        // The compiler ends with a status when the source does not compile.
        if (typeof error.code === "number" && error.files) port.postMessage({ said });
        else port.postMessage({ broke: String(error.message ?? error) });
    }
}

// One compile at a time, in the order asked, whichever tab asked.
let queue = Promise.resolve();
function serve(port) {
    port.addEventListener("message", ({ data }) => {
        if (data.warm) prepare().catch(() => {}); // a compile asked for says what went wrong
        else queue = queue.then(() => compile(data, port));
    });
    port.start?.();
}

if ("onconnect" in globalThis) addEventListener("connect", ({ ports: [port] }) => serve(port));
else serve(globalThis);
