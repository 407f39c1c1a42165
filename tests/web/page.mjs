// page.mjs chromium|firefox|webkit http|file [FOLDER]: opens the web page
// (build/web, or the one in FOLDER) in the browser as a person would, served
// over HTTP or from disk, and runs each group of checks on it in turn:
// takeover, narrow and wide (layout.mjs), screens, typing, drain and
// stopping (running.mjs), colours and contents (reading.mjs), compiling,
// address, mistakes, keeping and, in Chromium, a phone's (editing.mjs) over
// HTTP, or from disk, stepping through an edit (recorded.mjs) in Chromium,
// and in Firefox one cell of it, the compiler's kept files in Chromium and
// a browser that keeps nothing in Firefox (kept.mjs), no click lost in
// Chromium and Firefox (clicks.mjs), stepping, values,
// controls and phone (player.mjs),
// the calls view in Chromium and, at one call, in Firefox (calls.mjs),
// korean and notEnglish (korean.mjs), axe (access.mjs), and
//   page      nothing in the page's console is an error, and no request
//             leaves the page's own folder.
// A group that fails is tried once more on the page opened afresh. ONLY, in
// the environment, names the groups to run, separated by commas, when not
// every one.
import { address, launch } from "./browsers.mjs";
import { axe } from "./access.mjs";
import { narrow, takeover, wide } from "./layout.mjs";
import { colours, contents } from "./reading.mjs";
import { callsView } from "./calls.mjs";
import { controls, phone, stepping, values } from "./player.mjs";
import { drain, screens, stopping, typing } from "./running.mjs";
import { address as editAddress, compiling, fromDisk, keeping, mistakes, narrow as narrowEditor } from "./editing.mjs";
import { korean, notEnglish } from "./korean.mjs";
import { editedCalls, editedCells, editedFromDisk, recordingLimits, twoRecorders } from "./recorded.mjs";
import { keepsNothing, keptCompiler } from "./kept.mjs";
import { clicks } from "./clicks.mjs";

// The editor's groups: it compiles only over HTTP, and is seen as a phone's
// in Chromium, where an edit's run is stepped through in full, and in
// Firefox at one cell.
const editing = (how, browser) => (how === "file" ? { fromDisk, editedFromDisk }
    : { compiling, editAddress, mistakes, keeping, ...(browser === "webkit" ? {} : { clicks }),
        ...(browser === "chromium" ? { narrowEditor } : {}),
        ...(browser === "chromium" ? { editedCells, editedCalls, twoRecorders, recordingLimits, keptCompiler }
            : browser === "firefox" ? { editedCells, keepsNothing } : {}) });

const groups = (how, browser) => ({ takeover, screens, typing, drain, stopping, narrow, wide, colours, contents,
                                    ...editing(how, browser), stepping, values, controls, phone,
                                    ...(browser === "webkit" ? {} : { callsView }), korean, notEnglish,
                                    axe });

async function main() {
    const [browserName, how, folder] = process.argv.slice(2);
    const tab = await launch(browserName);
    const place = await address(how, folder);
    const problems = [];
    try {
        await tab.goto(place);
        const only = process.env.ONLY?.split(",");
        for (const [group, check] of Object.entries(groups(how, browserName))) {
            if (only && !only.includes(group)) continue;
            // A group that cannot go on has found a problem too.
            const began = Date.now();
            const stopped = (error) => [`stopped: ${error.message.split("\n")[0]}`];
            const attempt = () => check(tab, { browser: browserName, place });
            let found = await attempt().catch(stopped);
            if (found.length) {
                // A browser on a loaded machine now and then loses a click or
                // a wait: a group that fails is tried once more on the page
                // opened afresh, and fails only if it fails again. What it
                // found the first time is printed all the same.
                console.log(`${group}: failed once, tried again: ${found.join("; ")}`);
                found = await tab.goto(place).then(attempt).catch(stopped);
            }
            problems.push(...found.map((problem) => `${group}: ${problem}`));
            console.log(`${group}: ${found.length ? "FAILED" : "passed"} (${((Date.now() - began) / 1000).toFixed(1)} s)`);
        }
        const pageProblems = await tab.problems();
        problems.push(...pageProblems.map((problem) => `page: ${problem}`));
        console.log(`page: ${pageProblems.length ? "FAILED" : "passed"}`);
    } finally {
        await tab.close();
        place.close();
    }
    for (const problem of problems) console.log(problem);
    process.exit(problems.length ? 1 : 0);
}

await main();
