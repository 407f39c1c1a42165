// The compiler of the page's editor, in a worker of its own, as compiling
// holds up the thread it runs on: Clang and LLD for WebAssembly and WASI (the
// npm package @yowasp/clang, in compiler/), which fetches its files the first
// time it runs and keeps them; and binaryen.js's Asyncify, which makes what
// it links able to pause in a write, a read or a sleep, as the page's own
// programs are. compiler/manifest.json gives the flags of the page's own
// build, the repository's headers and the bytes the compiler fetches.
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

const manifest = fetch(new URL("compiler/manifest.json", import.meta.url)).then((response) => response.json());
let binaryen = null; // a promise of binaryen.js, loaded with the compiler's first run

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

async function compile({ path, source, record }) {
    const { flags, headers, clang, binaryen: binaryenSize, waiting } = await manifest;
    // How much of clang's files and of binaryen.js has come in, of both.
    let clangDone = 0;
    let binaryenDone = 0;
    const fetched = () => postMessage({ fetched: clangDone + binaryenDone, total: clang + binaryenSize });
    binaryen ??= import("./compiler/binaryen.js").then((loaded) => {
        binaryenDone = binaryenSize;
        fetched();
        return loaded.default;
    });
    const decoder = new TextDecoder();
    let said = "";
    const hear = (bytes) => {
        if (bytes) said += decoder.decode(bytes, { stream: true });
    };
    try {
        // The compiler's files come in on its first run, and are kept.
        await runLLVM(null, {}, { fetchProgress: ({ doneLength }) => {
            clangDone = doneLength;
            fetched();
        } });
        if (record) {
            // A recorded run sleeps no time and hands its writes on without
            // waiting: only a read may have to pause it.
            const { built, table } = await recorded(path, source, await manifest, hear);
            const reads = WebAssembly.Module.imports(await WebAssembly.compile(built))
                .some(({ module, name }) => `${module}.${name}` === READ);
            const program = reads ? pausable(await binaryen, built, [READ]) : built;
            postMessage({ program, said, table }, [program.buffer]);
            return;
        }
        const built = await runClang(["clang++", ...flags, path, "-o", "program.wasm"],
                                     tree({ ...headers, [path]: source }), { stdout: hear, stderr: hear });
        const program = pausable(await binaryen, built["program.wasm"], waiting);
        postMessage({ program, said }, [program.buffer]);
    } catch (error) {
        // The compiler ends with a status when the source does not compile.
        if (typeof error.code === "number" && error.files) postMessage({ said });
        else postMessage({ broke: String(error.message ?? error) });
    }
}

// One compile at a time, in the order asked.
let queue = Promise.resolve();
addEventListener("message", ({ data }) => {
    queue = queue.then(() => compile(data));
});
