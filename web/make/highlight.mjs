// highlight.mjs NODE_MODULES FILE...: colours each C++ source FILE with
// highlight.js, as the lock file pins it, and writes to standard output a
// JSON list of their HTML, in the order given: the file's text, escaped,
// with its parts marked by spans of the classes hljs-keyword, hljs-comment
// and so on, which the page's style colours. The page gets this markup, and
// never the highlighter itself.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join, resolve } from "node:path";

const [nodeModules, ...files] = process.argv.slice(2);
const require = createRequire(join(resolve(nodeModules), "/"));
const hljs = require("highlight.js/lib/core");
hljs.registerLanguage("cpp", require("highlight.js/lib/languages/cpp"));

const listings = files.map((file) => hljs.highlight(readFileSync(file, "utf-8"), { language: "cpp" }).value);
process.stdout.write(JSON.stringify(listings));
