// What the page's tests read of a program's section, and how they bring one
// into view as a person would, by scrolling to it.
import { readFileSync } from "node:fs";
import { join } from "node:path";

import { EXPECTED, launch } from "./browsers.mjs";
import { screenOf } from "./screen.mjs";

export const expected = (name) => readFileSync(join(EXPECTED, `${name}.out`));

// Opens the page at PLACE in a tab of BROWSER of its own, as a phone 390
// pixels wide (a tab that becomes one reloads), at ADDRESS, does
// PREPARE(tab) there, and answers a problem if the page is then wider than
// the phone: WHAT says what was open.
export async function phoneProblems(browser, place, address, prepare, what) {
    const phone = await launch(browser);
    try {
        await phone.resize(390, 844, true);
        await phone.goto({ ...place, url: `${place.url}${address}` });
        await prepare(phone);
        const [pageWidth, windowWidth] = await phone.evaluate(() => [document.documentElement.scrollWidth, innerWidth]);
        // A window as narrow as the browser allows, where it cannot be a phone.
        const width = phone.phone ? 390 : windowWidth;
        return pageWidth > width ? [`with ${what} the page is ${pageWidth} pixels wide in a window ${width} wide`] : [];
    } finally {
        await phone.close();
    }
}
export const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// The rows a section's terminal shows, read from the page's own text:
// xterm.js draws a terminal only while it is in view.
export function screen(tab, name) {
    return tab.evaluate((id) => [...document.querySelectorAll(`#${id} .xterm-rows > div`)]
        .map((row) => row.textContent.replace(/\u00a0/g, " ").trimEnd()), name);
}

// Waits until the page has drawn two frames: what was done last, a scroll
// or a keystroke, has been laid out, and the page stands still, as it does
// before a person's eye and hand have moved on.
export const settled = (tab) =>
    tab.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));

// Scrolls the section's terminal to the middle of the window.
export async function inView(tab, name) {
    await tab.evaluate((id) => document.querySelector(`#${id} .terminal-box`).scrollIntoView({ block: "center" }), name);
    await settled(tab);
}

// Scrolls to every section in turn, as a reader going down the page, and
// waits at each until its program has started and its terminal has rows.
export async function startEvery(tab) {
    for (const name of await tab.evaluate(() => [...document.querySelectorAll("section[id]")].map((s) => s.id))) {
        await inView(tab, name);
        await tab.waitFor((id) => document.querySelector(`#${id} .xterm-rows > div`)
                          && document.getElementById(id).dataset.state !== "waiting", [name]);
    }
}

export function stateOf(tab, name) {
    return tab.evaluate((id) => {
        const section = document.getElementById(id);
        return [section.dataset.state, section.querySelector(".exit").textContent];
    }, name);
}

export function waitForState(tab, name, state, timeout = 10000) {
    return tab.waitFor((id, wanted) => document.getElementById(id).dataset.state === wanted,
                       [name, state], timeout);
}

// Waits until a terminal shows what a terminal would show for BYTES, and
// says where it differs if it does not within a few seconds: a terminal
// that has just come into view is drawn at its next frame.
export async function compareScreen(tab, name, bytes, what) {
    let shown;
    let wanted;
    for (const end = Date.now() + 3000; Date.now() < end; await sleep(50)) {
        shown = await screen(tab, name);
        wanted = screenOf(bytes, shown.length);
        if (shown.length && JSON.stringify(shown) === JSON.stringify(wanted)) return [];
    }
    if (!shown.length) return [`${what}: the terminal shows no rows`];
    const row = shown.findIndex((text, i) => text !== wanted[i]);
    return [`${what}: row ${row} shows ${JSON.stringify(shown[row])}, expected ${JSON.stringify(wanted[row])}`];
}
