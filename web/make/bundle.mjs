// bundle.mjs NODE_MODULES ENTRY OUT LICENCES: bundles the module ENTRY and
// the npm packages it imports, as the lock file pins them, into one script,
// OUT, that hands ENTRY's exports to the page as the global named after
// OUT's file (codemirror.js gives CodeMirror), with esbuild; and writes the
// licence of every package bundled, each under its name, to LICENCES.
import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { basename, dirname, join, resolve } from "node:path";

const [nodeModules, entry, out, licences] = process.argv.slice(2);
const require = createRequire(join(resolve(nodeModules), "/"));
const esbuild = require("esbuild");

const names = { "codemirror.js": "CodeMirror" };
const { metafile } = await esbuild.build({
    entryPoints: [entry], bundle: true, format: "iife", globalName: names[basename(out)], minify: true,
    legalComments: "none", target: "es2020", nodePaths: [resolve(nodeModules)], outfile: out, metafile: true,
    logLevel: "error",
});

// Each package a bundled file came from, by the folder of its package.json.
const packages = new Map();
for (const input of Object.keys(metafile.inputs)) {
    const found = /^(.*node_modules\/(?:@[^/]+\/)?[^/]+)\//.exec(input);
    if (found) packages.set(resolve(found[1]), true);
}
const texts = [...packages.keys()].sort().map((folder) => {
    const { name, version, license } = JSON.parse(readFileSync(join(folder, "package.json"), "utf-8"));
    const file = ["LICENSE", "LICENSE.md", "LICENSE.txt", "license"].map((f) => join(folder, f))
        .find((path) => { try { readFileSync(path); return true; } catch { return false; } });
    if (!file) throw new Error(`${name} has no licence file`);
    return `==== ${name} ${version} (${license})\n\n${readFileSync(file, "utf-8").trim()}\n`;
});
writeFileSync(licences, `The editor's script, ${basename(out)}, bundles these npm packages:\n\n${texts.join("\n")}`);
