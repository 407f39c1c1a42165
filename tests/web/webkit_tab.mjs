// A tab of WebKit, the engine of Safari and of every browser on an iPhone:
// WebKitGTK's MiniBrowser, driven through W3C WebDriver by Debian's
// WebKitWebDriver and selenium-webdriver. It needs an X server (xvfb-run).
// Its calls are those of puppeteer_tab.mjs, with these differences:
//   - the window may not shrink below about 450 pixels, and is never a phone;
//   - WebDriver shows neither the console nor the requests, so the page
//     notes its own errors from its load on, and the requests it made, which
//     it lists only over HTTP.
import { spawn } from "node:child_process";
import { writeFile } from "node:fs/promises";
import { createServer } from "node:net";

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function freePort() {
    const server = createServer();
    await new Promise((done) => server.listen(0, "127.0.0.1", done));
    const { port } = server.address();
    await new Promise((done) => server.close(done));
    return port;
}

async function startDriver() {
    const port = await freePort();
    const driver = spawn("WebKitWebDriver", [`--port=${port}`], { stdio: "ignore" });
    const url = `http://127.0.0.1:${port}`;
    for (let tries = 0; tries < 100; tries++) {
        try {
            if ((await fetch(`${url}/status`)).ok) return { url, stop: () => driver.kill() };
        } catch {
            await sleep(50);
        }
    }
    driver.kill();
    throw new Error("WebKitWebDriver did not start");
}

// Run in the page once it has loaded: it notes what goes wrong from then on.
function noteProblems() {
    window.pageProblems = [];
    addEventListener("error", (event) => pageProblems.push(`page error: ${event.message}`));
    addEventListener("unhandledrejection", (event) => pageProblems.push(`page error: ${event.reason}`));
    const error = console.error;
    console.error = (...parts) => {
        pageProblems.push(`console error: ${parts.join(" ")}`);
        error(...parts);
    };
}

export async function webkitTab(webdriver, { scheme }) {
    const { Builder, By, Key } = webdriver;
    const server = await startDriver();
    const args = ["--automation", ...(scheme === "dark" ? ["--dark-mode"] : [])];
    let driver;
    try {
        driver = await new Builder().usingServer(server.url).withCapabilities({
            browserName: "MiniBrowser", "webkitgtk:browserOptions": { args },
        }).build();
    } catch (error) {
        server.stop();
        throw error;
    }
    await driver.manage().window().setRect({ width: 1280, height: 900 });
    let folder = null;

    const evaluate = (fn, ...args) => driver.executeScript(`return (${fn}).apply(null, arguments);`, ...args);

    const KEYS = { Enter: "ENTER", Backspace: "BACK_SPACE", ArrowLeft: "ARROW_LEFT", ArrowRight: "ARROW_RIGHT",
                   ArrowUp: "ARROW_UP", ArrowDown: "ARROW_DOWN", Home: "HOME", End: "END", Space: "SPACE" };

    async function keys(list) {
        const actions = driver.actions();
        for (const key of list) {
            if (key.startsWith("Control+")) {
                const held = key.slice(8);
                actions.keyDown(Key.CONTROL).sendKeys(held in KEYS ? Key[KEYS[held]] : held).keyUp(Key.CONTROL);
            } else if (key in KEYS) actions.sendKeys(Key[KEYS[key]]);
            else actions.sendKeys(key);
        }
        await actions.perform();
    }

    // Another tab of the same browser: WebDriver drives one window at a
    // time, so each call of a tab's goes to its own window first.
    async function newTab() {
        const first = await driver.getWindowHandle();
        await driver.switchTo().newWindow("tab");
        const own = await driver.getWindowHandle();
        const tab = { ...methods };
        for (const [key, call] of Object.entries(methods)) {
            if (typeof call !== "function") continue;
            tab[key] = async (...args) => {
                await driver.switchTo().window(own);
                return call(...args);
            };
        }
        tab.close = async () => {
            await driver.switchTo().window(own);
            await driver.close();
            await driver.switchTo().window(first);
        };
        return tab;
    }

    const methods = {
        phone: false,
        async goto(place) {
            folder = place.folder;
            await driver.get(place.url);
            await evaluate(noteProblems);
        },
        async reload() {
            await driver.navigate().refresh();
            await evaluate(noteProblems);
        },
        newTab,
        evaluate,
        async waitFor(fn, args = [], timeout = 10000) {
            const end = Date.now() + timeout;
            while (!(await evaluate(fn, ...args))) {
                if (Date.now() > end) throw new Error(`waited ${timeout} ms in vain`);
                await sleep(20);
            }
        },
        click: async (selector) => (await driver.findElement(By.css(selector))).click(),
        keys,
        resize: (width, height) => driver.manage().window().setRect({ width, height }),
        screenshot: async (file) => writeFile(file, await driver.takeScreenshot(), "base64"),
        problems: () => evaluate((from) => [
            ...(window.pageProblems ?? []),
            ...performance.getEntriesByType("resource").map((entry) => entry.name)
                .filter((url) => !url.startsWith(from) && !/^(data|blob):/.test(url))
                .map((url) => `a request outside the page's folder: ${url}`),
        ], folder),
        async close() {
            await driver.quit();
            server.stop();
        },
    };
    return methods;
}
