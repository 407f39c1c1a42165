// axe: axe-core, as the lock file pins it, finds no violation of WCAG 2.1
// A and AA or of its best practices, on the page as it stands after the
// other groups, players and editors open among them, in the light scheme;
// on the page opened anew in the dark scheme; and on the Korean page in
// both: each with every program started, a player open at a step that
// prints a cell, a call chosen in its calls view, and an editor open. In
// the dark the page's background must be dark.
import { launch, npmRequire } from "./browsers.mjs";
import { startEvery } from "./section.mjs";

const RULES = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "best-practice"];

// Runs in the page: axe's verdict, a line per violation.
async function audit(source, rules) {
    if (!window.axe) (0, eval)(source);
    // Fetching the style sheets again, which axe would for one rule, is what
    // a page opened from disk may not do.
    const { violations } = await axe.run(document, { runOnly: { type: "tag", values: rules }, preload: false });
    const described = (node) => [node.target.join(" "), ...[...node.any, ...node.all, ...node.none]
        .map((check) => check.message)].join(": ");
    return violations.map(({ id, help, nodes }) =>
        `${id} (${help}): ${nodes.length} element${nodes.length > 1 ? "s" : ""}, ` +
        nodes.slice(0, 3).map(described).join("; "));
}

// The relative luminance of the page's background, from 0 for black to 1:
// the body's, or the root's, or where neither has one, the canvas's.
function background() {
    const canvas = document.createElement("div");
    canvas.style.backgroundColor = "Canvas";
    document.body.append(canvas);
    const colour = [document.body, document.documentElement, canvas]
        .map((element) => getComputedStyle(element).backgroundColor)
        .find((value) => !/^rgba\(.*, 0\)$|^transparent$/.test(value));
    canvas.remove();
    const [r, g, b] = colour.match(/[\d.]+/g).slice(0, 3).map(Number)
        .map((c) => c / 255).map((c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4));
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}

// The page at URL, of the page at PLACE, in a fresh tab of the SCHEME, as axe judges it.
async function auditAnew(browser, place, url, scheme, source) {
    const tab = await launch(browser, { scheme });
    try {
        await tab.goto({ ...place, url });
        await startEvery(tab);
        await tab.evaluate(() => { location.hash = "#gasket/cell/5/8"; });
        await tab.waitFor(() => location.hash.startsWith("#gasket/step/"));
        // A call chosen in its calls view, which marks what it drew.
        await tab.evaluate(() => document.querySelectorAll("#gasket [role=treeitem] .call-label code")[2].click());
        await tab.waitFor(() => document.querySelector("#gasket [data-drawn]"));
        const edit = await tab.evaluate(() => {
            const button = document.querySelector("#funnel .edit");
            button?.click();
            return Boolean(button);
        });
        if (!edit) throw new Error("funnel has no Edit button");
        await tab.waitFor(() => document.querySelector('#funnel [contenteditable="true"]'));
        const problems = (await tab.evaluate(audit, source, RULES)).map((found) => `${scheme}: ${found}`);
        const luminance = await tab.evaluate(background);
        if (scheme === "dark" && luminance > 0.05)
            problems.push(`dark: the page's background is not dark (luminance ${luminance.toFixed(2)})`);
        return problems;
    } finally {
        await tab.close();
    }
}

export async function axe(tab, { browser, place }) {
    const source = npmRequire("axe-core").source;
    const problems = (await tab.evaluate(audit, source, RULES)).map((found) => `light: ${found}`);
    problems.push(...await auditAnew(browser, place, place.url, "dark", source));
    const korean = place.url.endsWith("index.html") ? place.url.replace(/index\.html$/, "ko/index.html") : `${place.url}ko/`;
    for (const scheme of ["light", "dark"])
        problems.push(...(await auditAnew(browser, place, korean, scheme, source)).map((found) => `Korean page, ${found}`));
    return problems;
}
