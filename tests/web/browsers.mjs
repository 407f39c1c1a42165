// Opening the web page in a real browser, as a person would: Debian's
// Chromium or Firefox ESR, headless, driven by puppeteer-core, or WebKit
// (WebKitGTK's MiniBrowser, Safari's engine) driven through WebDriver. Each
// gives a tab of the same shape (puppeteer_tab.mjs, webkit_tab.mjs). The page
// is served over HTTP from 127.0.0.1, as a static host would, or opened as a
// file. Used by the page's tests, its benchmark and its screenshots.
import { readFile, stat } from "node:fs/promises";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import { extname, join, resolve, sep } from "node:path";
import { pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

import { puppeteerTab } from "./puppeteer_tab.mjs";
import { webkitTab } from "./webkit_tab.mjs";

const ROOT = resolve(import.meta.dirname, "..", "..");
export const PAGE = join(ROOT, "build", "web");
export const EXPECTED = join(ROOT, "tests", "expected");
// The programs whose pictures are fixed: all but drain, which animates, and
// stairprompt, which waits for a count.
export const FIXED = ["gasket", "gridshapes", "apex", "funnel", "waist", "wedge", "stairfixed",
                      "steeple", "hello", "hellostream"];
export const BROWSERS = ["chromium", "firefox", "webkit"];
const NODE_MODULES = resolve(process.env.NODE_MODULES ?? join(ROOT, "build", "wasm", "web", "npm", "node_modules"));

// Packages from the page's own node_modules, as its lock file pins them.
export const npmRequire = createRequire(join(NODE_MODULES, sep));

// A tab in BROWSER, whose pages prefer the colour scheme SCHEME ("light" or
// "dark") and may run scripts unless SCRIPT is false (Chromium only), in a
// private window with room to keep a megabyte at most if PRIVATELY (Firefox
// only). The tab's
// calls are those of puppeteer_tab.mjs.
export function launch(browser, { scheme = "light", script = true, privately = false } = {}) {
    if (browser === "webkit") return webkitTab(npmRequire("selenium-webdriver"), { scheme });
    return puppeteerTab(npmRequire("puppeteer-core"), browser, { scheme, script, privately });
}

const TYPES = { ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
                ".css": "text/css; charset=utf-8", ".json": "application/json", ".wasm": "application/wasm" };

// Each file's body compressed, kept as a host keeps it, by its path and bytes.
const packed = new Map();
function compressed(file, body) {
    const kept = packed.get(file);
    if (kept?.body.equals(body)) return kept.packed;
    const made = gzipSync(body);
    packed.set(file, { body, packed: made });
    return made;
}

// Serves FOLDER on 127.0.0.1 at a free port, as any static host would:
// compressed with gzip for a browser that asks for it, and with leave to
// keep every file for a year, as the page's host gives, each with the time
// it was last changed, which a browser may ask about again. Answers { url,
// close, served }: served lists [path, bytes sent] for every file served.
// SLOW, if given, names the files that come a second and a half late.
export async function serve(folder = PAGE, { slow = null } = {}) {
    folder = resolve(folder);
    const served = [];
    const server = createServer(async (request, response) => {
        const path = new URL(request.url, "http://host").pathname;
        if (slow?.test(path)) await new Promise((done) => setTimeout(done, 1500));
        const file = join(folder, path.endsWith("/") ? `${path}index.html` : decodeURIComponent(path));
        try {
            if (!file.startsWith(folder + sep)) throw new Error("outside the page");
            const changed = new Date(Math.floor((await stat(file)).mtimeMs / 1000) * 1000);
            const asked = Date.parse(request.headers["if-modified-since"] ?? "");
            const kept = { "Cache-Control": "public, max-age=31536000", "Last-Modified": changed.toUTCString() };
            if (asked >= changed.getTime()) {
                response.writeHead(304, kept);
                response.end();
                served.push([path, 0]);
                return;
            }
            let body = await readFile(file);
            const headers = { "Content-Type": TYPES[extname(file)] ?? "application/octet-stream", ...kept };
            if (/\bgzip\b/.test(request.headers["accept-encoding"] ?? "")) {
                body = compressed(file, body);
                headers["Content-Encoding"] = "gzip";
            }
            response.writeHead(200, headers);
            response.end(body);
            served.push([path, body.length]);
        } catch {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((done) => server.listen(0, "127.0.0.1", done));
    return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close(), served };
}

// The page's address, over HTTP or as a file, and the folder it may load
// from; over HTTP, served lists what the server sent (serve).
export async function address(how, folder = PAGE) {
    folder = resolve(folder);
    if (how === "http") {
        const server = await serve(folder);
        return { url: server.url, folder: server.url, close: server.close, served: server.served };
    }
    const url = pathToFileURL(join(folder, "index.html")).href;
    return { url, folder: pathToFileURL(folder + sep).href, close: () => {} };
}
