// How the page is laid out, each group given a tab with the page open:
//   takeover  a second after the page opens, only the sections near the
//             view have started; as each comes into view its terminal takes
//             the place of the screen printed when the page was made, inside
//             its box, and nothing in any section moves from where it stood
//             as the page opened;
//   narrow    on a phone 390 pixels wide (a window as narrow as the browser
//             allows, where it cannot be a phone) the page never scrolls
//             sideways, and wedge, wider than that, scrolls inside its own box;
//   wide      in a window 1440 pixels wide every section but wedge, whose
//             terminal is 81 columns wide, has its source beside its terminal.
import { launch } from "./browsers.mjs";
import { inView, sleep, startEvery } from "./section.mjs";

// Where each section's parts stand, in pixels from the section's top left
// corner, and which sections have started. A section far from the view is
// laid out only as it comes near, so where the sections themselves stand
// may change as the page scrolls; what is inside each may not.
function layout() {
    return [...document.querySelectorAll("section[id]")].map((section) => {
        const corner = section.getBoundingClientRect();
        const place = (element) => {
            const box = element.getBoundingClientRect();
            return [box.left - corner.left, box.top - corner.top, box.width, box.height];
        };
        return {
            name: section.id,
            state: section.dataset.state,
            top: corner.top,
            parts: Object.fromEntries(["h2", ".about", ".terminal-box", ".controls", ".source-name", ".listing"]
                .map((part) => [part, place(section.querySelector(part))])),
            terminal: section.querySelector(".xterm") && place(section.querySelector(".xterm")),
        };
    });
}

const rounded = (place) => place.map((n) => n.toFixed(1)).join(", ");

export async function takeover(tab) {
    const problems = [];
    // As the page opens, before any program has started, and a second later.
    const before = await tab.evaluate(layout);
    await sleep(1000);
    const opened = await tab.evaluate(layout);
    const height = await tab.evaluate(() => innerHeight);
    for (const { name, state, top } of opened) {
        if (top > 2 * height && state !== "waiting") problems.push(`${name}, far below the view, has started`);
        if (top < height / 2 && state === "waiting") problems.push(`${name}, in view, has not started`);
    }
    await startEvery(tab);
    await sleep(500);
    const after = await tab.evaluate(layout);
    for (const [i, { name, parts }] of before.entries()) {
        for (const [part, place] of Object.entries(parts)) {
            const now = after[i].parts[part];
            if (place.some((n, k) => Math.abs(n - now[k]) > 0.5))
                problems.push(`${name}: its ${part} moved from ${rounded(place)} to ${rounded(now)}`);
        }
        const [left, top, width, height] = after[i].parts[".terminal-box"];
        const [tLeft, tTop, tWidth, tHeight] = after[i].terminal;
        if (tLeft < left || tTop < top || tLeft + tWidth > left + width || tTop + tHeight > top + height)
            problems.push(`${name}: its terminal, ${rounded(after[i].terminal)}, is not inside its box, ` +
                          `${rounded(after[i].parts[".terminal-box"])}`);
    }
    return problems;
}

// In a tab of its own, opened as a phone: a tab that becomes one reloads.
export async function narrow(tab, { browser, place }) {
    const phone = await launch(browser);
    try {
        await phone.resize(390, 844, true);
        await phone.goto(place);
        await inView(phone, "wedge");
        const [pageWidth, windowWidth, boxScrolls] = await phone.evaluate(() => {
            const box = document.querySelector("#wedge .screen");
            return [document.documentElement.scrollWidth, innerWidth, box.scrollWidth > box.clientWidth];
        });
        // A phone shows a page wider than its screen zoomed out, so the page's
        // width is measured against the screen's, not the window's.
        const width = phone.phone ? 390 : windowWidth;
        const problems = [];
        if (pageWidth > width) problems.push(`the page is ${pageWidth} pixels wide in a window ${width} wide`);
        if (!boxScrolls) problems.push(`wedge's box does not scroll in a window ${width} pixels wide`);
        return problems;
    } finally {
        await phone.close();
    }
}

export async function wide(tab) {
    await tab.resize(1440, 900);
    const sections = await tab.evaluate(() => [...document.querySelectorAll("section[id]")].map((section) => {
        const run = section.querySelector(".terminal-side")?.getBoundingClientRect();
        const source = section.querySelector(".source-side")?.getBoundingClientRect();
        return [section.id, Boolean(run && source && source.left >= run.right && source.top < run.bottom)];
    }));
    await tab.resize(1280, 900);
    return sections.filter(([name, beside]) => name !== "wedge" && !beside)
        .map(([name]) => `${name}'s source is not beside its terminal in a window 1440 pixels wide`);
}
