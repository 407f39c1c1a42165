// A tab of Debian's Chromium or Firefox ESR, headless, driven by
// puppeteer-core. Its calls and fields are the ones every tab has:
//   phone                whether its window can be a phone's
//   goto(place)          open place.url and wait for its load; requests that
//                        leave place.folder count as problems
//   reload()             load the page again, and wait for its load
//   newTab()             another tab of the same browser and profile, whose
//                        close() closes only it
//   evaluate(fn, ...)    run fn in the page with the arguments, answer its result
//   waitFor(fn, args, ms) wait until fn(...args) in the page is true
//   click(selector)      click the middle of the element, scrolled into view
//   keys(list)           type each of list: text, "Enter", "Backspace",
//                        "ArrowLeft", "ArrowRight", "ArrowUp", "ArrowDown",
//                        "Home", "End", "Space", or "Control+" one of
//                        those keys or a letter
//   resize(w, h, phone)  the size of the page's window; a phone's is touched,
//                        and making it a phone's or no longer one reloads the page
//   screenshot(file)     a PNG of what the window shows
//   metrics()            the page's figures once its garbage is collected, its
//                        memory among them (not in WebKit)
//   problems()           errors in the page's console or its scripts, and
//                        requests that failed or left the page's folder
//   close()

// Chromium as root needs no sandbox; neither browser may reach for the
// network of its own accord, which this machine would refuse.
export const CHROMIUM_FLAGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                               "--disable-background-networking", "--disable-component-update",
                               "--disable-sync", "--font-render-hinting=none"];
const CHROMIUM = { browser: "chrome", executablePath: "/usr/bin/chromium", args: CHROMIUM_FLAGS };

const firefox = (scheme, privately) => ({
    browser: "firefox",
    executablePath: "/usr/bin/firefox-esr",
    extraPrefsFirefox: {
        "network.captive-portal-service.enabled": false,
        "network.connectivity-service.enabled": false,
        "app.update.enabled": false,
        "browser.safebrowsing.malware.enabled": false,
        "browser.safebrowsing.phishing.enabled": false,
        // 0 makes pages see a dark scheme, 1 a light one.
        "layout.css.prefers-color-scheme.content-override": scheme === "dark" ? 0 : 1,
        // Private browsing, with room to keep no more than a megabyte.
        ...(privately ? { "browser.privatebrowsing.autostart": true,
                          "dom.quotaManager.temporaryStorage.fixedLimit": 1024 } : {}),
    },
});

const NAMED = ["Backspace", "Enter", "ArrowLeft", "ArrowRight", "ArrowUp", "ArrowDown", "Home", "End"];

export async function puppeteerTab(puppeteer, name, { scheme, script, privately = false }) {
    const browser = await puppeteer.launch({ headless: true, ...(name === "firefox" ? firefox(scheme, privately) : CHROMIUM) });
    return pageTab(browser, name, { scheme, script }, true);
}

// A tab of BROWSER, of the browser called NAME; closing it closes the
// browser if it is the browser's first.
async function pageTab(browser, name, { scheme, script }, first) {
    const page = await browser.newPage();
    if (name === "chromium") await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
    if (!script) await page.setJavaScriptEnabled(false);
    await page.setViewport({ width: 1280, height: 900 });

    const problems = [];
    let folder = null;
    page.on("console", (message) => {
        if (message.type() === "error") problems.push(`console error: ${message.text()}`);
    });
    page.on("pageerror", (error) => problems.push(`page error: ${error.message}`));
    page.on("request", (request) => {
        const url = request.url();
        if (folder && !url.startsWith(folder) && !/^(data|blob):/.test(url))
            problems.push(`a request outside the page's folder: ${url}`);
    });
    page.on("requestfailed", (request) => problems.push(`request failed: ${request.url()}`));

    async function keys(list) {
        for (const key of list) {
            if (key.startsWith("Control+")) {
                await page.keyboard.down("Control");
                await page.keyboard.press(key.slice(8));
                await page.keyboard.up("Control");
            } else if (NAMED.includes(key)) {
                await page.keyboard.press(key);
            } else if (key === "Space") {
                await page.keyboard.press(" ");
            } else {
                await page.keyboard.type(key);
            }
        }
    }

    return {
        phone: true,
        async goto(place) {
            folder = place.folder;
            await page.goto(place.url, { waitUntil: "load" });
        },
        reload: () => page.reload({ waitUntil: "load" }),
        newTab: () => pageTab(browser, name, { scheme, script }, false),
        evaluate: (fn, ...args) => page.evaluate(fn, ...args),
        async waitFor(fn, args = [], timeout = 10000) {
            await page.waitForFunction(fn, { timeout, polling: 20 }, ...args);
        },
        click: (selector) => page.click(selector),
        keys,
        resize: (width, height, phone = false) =>
            page.setViewport({ width, height, isMobile: phone, hasTouch: phone, deviceScaleFactor: 1 }),
        screenshot: (file) => page.screenshot({ path: file }),
        async metrics() {
            const session = await page.createCDPSession();
            await session.send("HeapProfiler.collectGarbage");
            await session.detach();
            return page.metrics();
        },
        problems: async () => problems,
        close: () => (first ? browser.close() : page.close()),
    };
}
