// The calls view of a player, given a tab with the page open, its values
// worked out from the programs' definitions:
//   callsView  steeple: f(a = i, depth = 4 - i), for a random i, reached
//              with the Right arrow key and chosen with Enter, marks
//              exactly the cells of rows 1 to i, each from column 0 to its
//              last star, at the step after which f returned; star(k) under
//              a random row's f, chosen by a click, marks that row's first
//              k stars; the tree marks the calls under way at a step.
//              gasket: one of the three star(…, size = 6) calls marks the
//              27 stars of its triangle, stored in the canvas and printed
//              later, and one of its star(…, 3) calls its 9. funnel: main
//              counts its 441 calls of isHourglass. In Firefox, one
//              steeple case.
import { sleep } from "./section.mjs";

const random = (low, high) => low + Math.floor(Math.random() * (high - low + 1));

// Opens NAME's player at its first step, and answers once its calls view is there.
async function openAt(tab, name) {
    await tab.evaluate((to) => { location.hash = to; }, `#${name}/step/0`);
    await tab.waitFor((id) => location.hash === `#${id}/step/0` && document.querySelector(`#${id} .player [role=tree]`),
                      [name]);
}

// What the player of NAME shows once a call is chosen: its step, the cells
// marked drawn, each "row,col", and what it says of them.
function drawn(name) {
    const section = document.getElementById(name);
    return {
        step: Number(section.querySelector(".player input").value),
        hash: location.hash,
        cells: [...section.querySelectorAll("pre[data-screen] [data-drawn]")]
            .map((cell) => `${cell.parentElement.dataset.r},${cell.dataset.c}`).sort(),
        note: section.querySelector(".drawn-note").textContent,
        underWay: [...section.querySelectorAll("[role=treeitem][data-under-way]")].map((item) => item.querySelector(":scope > .call-label").textContent.trim()),
    };
}

// Clicks the name of NAME's call labelled LABEL (as the tree names it,
// without its count), the first under the call labelled UNDER if given,
// making it shown first.
async function clickCall(tab, name, label, under = null) {
    const found = await tab.evaluate((id, wanted, caller) => {
        const named = (text) => (candidate) => candidate.querySelector(":scope > .call-label").textContent.trim().split(" returned ")[0] === text;
        // Under a caller: its own last call, and the calls under that.
        const callerItem = caller && [...document.querySelectorAll(`#${id} [role=treeitem]`)].find(named(caller));
        const last = callerItem?.querySelector(":scope > [role=group] > [role=treeitem]:last-child");
        const candidates = caller ? (last ? [last, ...last.querySelectorAll("[role=treeitem]")] : [])
            : [...document.querySelectorAll(`#${id} [role=treeitem]`)];
        const item = candidates.find(named(wanted));
        if (!item) return false;
        for (const marked of document.querySelectorAll("[data-chosen-call]")) marked.removeAttribute("data-chosen-call");
        item.dataset.chosenCall = "";
        for (let up = item.parentElement.closest("[role=treeitem]"); up; up = up.parentElement.closest("[role=treeitem]"))
            up.setAttribute("aria-expanded", "true");
        return true;
    }, name, label, under);
    if (!found) throw new Error(`${name} has no call ${label} in its calls view`);
    await tab.click("[data-chosen-call] > .call-label code");
    await sleep(300);
    return tab.evaluate(drawn, name);
}

const same = (one, other) => JSON.stringify([...one].sort()) === JSON.stringify([...other].sort());

export async function callsView(tab, { browser }) {
    const problems = [];
    // steeple: the row of size r (from 1) is indented by 4 - r blanks; its
    // last star is at column 4 - r + 2r - 2 = r + 2.
    const i = random(1, 4);
    await openAt(tab, "steeple");
    await tab.evaluate(() => document.querySelector("#steeple [role=treeitem]").focus());
    await tab.keys([...Array(5 - i).fill("ArrowRight"), "Enter"]);
    await sleep(300);
    const f = await tab.evaluate(drawn, "steeple");
    const rows = Array.from({ length: i }, (_, r) => Array.from({ length: r + 4 }, (_, c) => `${r + 1},${c}`)).flat();
    if (!same(f.cells, rows) || f.hash !== `#steeple/step/${f.step}`)
        problems.push(`steeple, f(a = ${i}, depth = ${4 - i}) chosen by the keys: ${JSON.stringify(f)}`);
    else if (f.note !== `f(a = ${i}, depth = ${4 - i}) drew ${rows.length} cells in ${i === 1 ? "row 1" : `rows 1–${i}`}.`)
        problems.push(`steeple, f(a = ${i}, depth = ${4 - i}) chosen: "${f.note}"`);
    if (browser === "firefox") return problems;

    const row = random(1, 4);
    const k = random(1, 2 * row - 1);
    const stars = await clickCall(tab, "steeple", `star(k = ${k})`, `f(a = ${row}, depth = ${4 - row})`);
    const wanted = Array.from({ length: k }, (_, j) => `${row},${4 - row + j}`);
    if (!same(stars.cells, wanted))
        problems.push(`steeple, star(k = ${k}) in row ${row} chosen: ${JSON.stringify(stars)}`);
    // At its last step, the calls under way are its callers.
    if (stars.underWay[0] !== "main()" || !stars.underWay.includes(`f(a = ${row}, depth = ${4 - row})`))
        problems.push(`steeple, star(k = ${k}) in row ${row} chosen: the calls under way are ${JSON.stringify(stars.underWay)}`);

    // gasket: a triangle of size 6 at (r, c) is three of size 3, at (r, c),
    // (r + 3, c - 3) and (r + 3, c + 3), each of nine stars.
    const base = (r, c) => [`${r},${c}`, ...[-1, 0, 1].map((d) => `${r + 1},${c + d}`),
                            ...[-2, -1, 0, 1, 2].map((d) => `${r + 2},${c + d}`)];
    const [r, c] = [[0, 11], [6, 5], [6, 17]][random(0, 2)];
    await openAt(tab, "gasket");
    const six = await clickCall(tab, "gasket", `star(row = ${r}, col = ${c}, size = 6)`);
    const triangle = [...base(r, c), ...base(r + 3, c - 3), ...base(r + 3, c + 3)];
    if (!same(six.cells, triangle)) problems.push(`gasket, star(row = ${r}, col = ${c}, size = 6) marks ${six.cells.length} cells: ${JSON.stringify(six.cells).slice(0, 200)}`);
    const [br, bc] = [[r, c], [r + 3, c - 3], [r + 3, c + 3]][random(0, 2)];
    const three = await clickCall(tab, "gasket", `star(row = ${br}, col = ${bc}, size = 3)`);
    if (!same(three.cells, base(br, bc))) problems.push(`gasket, star(row = ${br}, col = ${bc}, size = 3) marks ${three.cells.length} cells: ${JSON.stringify(three.cells).slice(0, 200)}`);

    // funnel: one isHourglass call for each of its 21 by 21 cells.
    await openAt(tab, "funnel");
    const main = await tab.evaluate(() => document.querySelector("#funnel [role=treeitem] > .call-label").textContent.trim());
    if (main !== "main() 441 calls") problems.push(`funnel's calls view begins with "${main}"`);
    return problems;
}
