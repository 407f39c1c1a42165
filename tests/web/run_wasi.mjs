// run_wasi.mjs MODULE: runs a program compiled to WebAssembly under Node's own
// WASI, with this process's standard input, output and error, and exits with
// its status; the tests start the page's modules this way to check their bytes.
import { readFileSync } from "node:fs";
import { WASI } from "node:wasi";

const [module] = process.argv.slice(2);
const wasi = new WASI({ version: "preview1", args: [module], env: {}, returnOnExit: true });
const instance = await WebAssembly.instantiate(await WebAssembly.compile(readFileSync(module)),
                                               wasi.getImportObject());
process.exitCode = wasi.start(instance);
