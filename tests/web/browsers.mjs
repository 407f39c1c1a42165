// Opening the web page in Debian's Chromium or Firefox ESR, headless, driven
// by puppeteer-core: served over HTTP from 127.0.0.1, or as a file. Used by
// the page's tests, its benchmark and its screenshot.
import { readFile } from "node:fs/promises";
import { createServer } from "node:http";
import { createRequire } from "node:module";
import { extname, join, resolve, sep } from "node:path";
import { pathToFileURL } from "node:url";

const ROOT = resolve(import.meta.dirname, "..", "..");
export const PAGE = join(ROOT, "build", "web");
export const EXPECTED = join(ROOT, "tests", "expected");
// The programs whose pictures are fixed: all but drain, which animates, and
// stairprompt, which waits for a count.
export const FIXED = ["gasket", "gridshapes", "apex", "funnel", "waist", "wedge", "stairfixed",
                      "steeple", "hello", "hellostream"];
const NODE_MODULES = resolve(process.env.NODE_MODULES ?? join(ROOT, "build", "wasm", "web", "npm", "node_modules"));
const puppeteer = createRequire(join(NODE_MODULES, sep))("puppeteer-core");

// Chromium as root needs no sandbox; neither browser may reach for the
// network of its own accord, which this machine would refuse.
const LAUNCH = {
    chromium: {
        browser: "chrome",
        executablePath: "/usr/bin/chromium",
        args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--font-render-hinting=none"],
    },
    firefox: {
        browser: "firefox",
        executablePath: "/usr/bin/firefox-esr",
        extraPrefsFirefox: {
            "network.captive-portal-service.enabled": false,
            "network.connectivity-service.enabled": false,
            "app.update.enabled": false,
            "browser.safebrowsing.malware.enabled": false,
            "browser.safebrowsing.phishing.enabled": false,
        },
    },
};

export function launch(browser) {
    return puppeteer.launch({ headless: true, ...LAUNCH[browser] });
}

const TYPES = { ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
                ".css": "text/css; charset=utf-8" };

// Serves the page's folder on 127.0.0.1 at a free port, as any static host would.
export async function serve(folder = PAGE) {
    const server = createServer(async (request, response) => {
        const path = new URL(request.url, "http://host").pathname;
        const file = join(folder, path === "/" ? "index.html" : decodeURIComponent(path));
        try {
            if (!file.startsWith(folder + sep)) throw new Error("outside the page");
            const body = await readFile(file);
            response.writeHead(200, { "Content-Type": TYPES[extname(file)] ?? "application/octet-stream" });
            response.end(body);
        } catch {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((done) => server.listen(0, "127.0.0.1", done));
    return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

// The page's address, over HTTP or as a file, and the folder it may load from.
export async function address(how, folder = PAGE) {
    if (how === "http") {
        const server = await serve(folder);
        return { url: server.url, folder: server.url, close: server.close };
    }
    const url = pathToFileURL(join(folder, "index.html")).href;
    return { url, folder: pathToFileURL(folder + sep).href, close: () => {} };
}
