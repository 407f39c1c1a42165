// noscript.mjs [FOLDER]: opens the web page (build/web, or the one in
// FOLDER) in Chromium with JavaScript turned off, from disk and over HTTP,
// and checks that every section still shows its program's first screen,
// exact to the byte and to the row: the ten fixed pictures whole, drain's
// first frame and stairprompt's prompt; and that the Run and Stop buttons,
// which could do nothing, are not shown.
import { FIXED, address, launch } from "./browsers.mjs";
import { expected } from "./section.mjs";

// What a fresh terminal shows: drain's first frame begins by moving the
// cursor to where it already is.
const HOME = "\x1b[0;0f";
const drain = expected("drain").toString("utf-8");
const WANTED = {
    ...Object.fromEntries(FIXED.map((name) => [name, expected(name).toString("utf-8")])),
    drain: drain.slice(HOME.length, drain.length / 11),
    stairprompt: "숫자를 입력하세요 : ",
};

function shown() {
    return [...document.querySelectorAll("section[id]")].map((section) => {
        const screen = section.querySelector(".first-screen");
        const box = screen?.getBoundingClientRect();
        return {
            name: section.id,
            text: screen?.textContent ?? null,
            visible: Boolean(screen) && getComputedStyle(screen).visibility === "visible" && box.height > 0,
            controls: getComputedStyle(section.querySelector(".controls")).display !== "none",
        };
    });
}

async function main() {
    const problems = [];
    for (const how of ["file", "http"]) {
        const tab = await launch("chromium", { script: false });
        const place = await address(how, process.argv[2]);
        try {
            await tab.goto(place);
            const sections = await tab.evaluate(shown);
            for (const [name, text] of Object.entries(WANTED)) {
                const section = sections.find((found) => found.name === name);
                if (!section || section.text === null) {
                    problems.push(`${how}: ${name} shows no first screen`);
                    continue;
                }
                const wanted = text.split("\n");
                const rows = section.text.split("\n");
                const row = wanted.findIndex((line, i) => line !== rows[i]);
                if (row !== -1 || rows.length !== wanted.length)
                    problems.push(`${how}: ${name}'s row ${row === -1 ? wanted.length : row} shows ` +
                                  `${JSON.stringify(rows[row] ?? null)}, expected ${JSON.stringify(wanted[row] ?? null)}`);
                if (!section.visible) problems.push(`${how}: ${name}'s first screen is not visible`);
                if (section.controls) problems.push(`${how}: ${name}'s Run and Stop are shown`);
            }
        } finally {
            await tab.close();
            place.close();
        }
    }
    for (const problem of problems) console.log(problem);
    console.log(`without script: ${problems.length ? "FAILED" : "passed"}`);
    process.exit(problems.length ? 1 : 0);
}

await main();
