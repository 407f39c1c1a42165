// The page in Korean, in a tab of its own:
//   korean       the English page's 한국어 link leads to ko/index.html, in
//                Korean, whose English link leads back; there every
//                picture is exact, a program runs live to its exit line,
//                the sections' buttons and a player opened at a cell's
//                address are named in Korean;
//   notEnglish   on the Korean page, with a player and an editor open, no
//                text that a reader sees or a screen reader speaks is in
//                English alone: each has Korean in it, or is only names
//                (of programs, files, keys and tools), code and numbers.
import { launch } from "./browsers.mjs";
import { screens } from "./running.mjs";
import { inView, sleep, stateOf, waitForState } from "./section.mjs";

const SECTION_BUTTONS = ["실행", "중지", "단계별 보기", "편집", "원래대로"];
const PLAYER_BUTTONS = ["이전 단계", "다음 단계", "재생", "닫기"];

// Names that stay as they are in Korean text: the programs', the files'
// (with their folders), the keys', and the tools'.
const NAMES = /\b(?:gasket|gridshapes|apex|funnel|waist|wedge|drain|stairfixed|stairprompt|steeple|hellostream|hello|isHourglass|Pyramid|canvas|raster|recursive|greetings|common|WebAssembly|C\+\+|Enter|Backspace|Ctrl-[A-Z]|HTTP|KB|MB|UTF-8|ESC)\b|[\w./-]+\.(?:cpp|h|js|html)\b/g;

async function koreanTab(browser, place) {
    const tab = await launch(browser);
    await tab.goto(place);
    const found = await tab.evaluate(() => document.querySelector('a[hreflang="ko"]')?.getAttribute("href"));
    if (!found) {
        await tab.close();
        throw new Error("the English page has no link to a Korean one");
    }
    await tab.click('a[hreflang="ko"]');
    await loaded(tab, "ko");
    return tab;
}

// Waits until the page a link led to has loaded in language LANG: its root
// says so as soon as it is parsed, and its sections are there once it has
// loaded. Each look is asked anew, since a wait begun in the page left
// behind may end with it.
async function loaded(tab, lang) {
    const end = Date.now() + 30000;
    while (!await tab.evaluate((wanted) => document.documentElement.lang === wanted
                                          && document.readyState === "complete", lang).catch(() => false)) {
        if (Date.now() > end) throw new Error(`no page in "${lang}" loaded within 30 s`);
        await sleep(50);
    }
}

export async function korean(_, { browser, place }) {
    const tab = await koreanTab(browser, place);
    const problems = [];
    try {
        problems.push(...await screens(tab, { exit: "종료 상태 0" }));
        const [, exit] = await stateOf(tab, "funnel");
        if (exit !== "종료 상태 0") problems.push(`funnel's exit line reads "${exit}"`);
        const buttons = await tab.evaluate(() => [...document.querySelectorAll("#funnel .controls button")].map((b) => b.textContent));
        if (JSON.stringify(buttons) !== JSON.stringify(SECTION_BUTTONS)) problems.push(`funnel's buttons are ${JSON.stringify(buttons)}`);
        await tab.evaluate(() => { location.hash = "#funnel/cell/3/5"; });
        await tab.waitFor(() => /^#funnel\/step\/\d+$/.test(location.hash))
            .catch(() => problems.push("#funnel/cell/3/5 opened no player"));
        const player = await tab.evaluate(() => [...document.querySelectorAll("#funnel .player button")].map((b) => b.textContent));
        if (JSON.stringify(player) !== JSON.stringify(PLAYER_BUTTONS)) problems.push(`the player's buttons are ${JSON.stringify(player)}`);
        const screen = await tab.evaluate(() => document.querySelector("#funnel pre[data-screen]").textContent.split("\n")[3]);
        if (screen?.trimEnd() !== "   ***") problems.push(`the player at row 3, column 5 shows row 3 as ${JSON.stringify(screen)}`);
        await tab.click('a[hreflang="en"]');
        await loaded(tab, "en").catch(() => problems.push("the Korean page's English link does not lead to the English page"));
    } finally {
        await tab.close();
    }
    return problems;
}

// Every text of the page a reader may see or hear, but for code: the text
// of each element's own text nodes, and the labels, titles and
// descriptions of elements.
function readerTexts() {
    const skip = "code, pre, script, style, .xterm, .cm-editor, [aria-hidden=true], [lang]:not([lang|=ko])";
    const texts = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());) {
        const parent = node.parentElement;
        // Text in no box is not shown: a closed player's, a page without script's.
        if (node.textContent.trim() && !parent.closest(skip) && parent.getClientRects().length)
            texts.push(node.textContent.trim());
    }
    for (const element of document.querySelectorAll("[aria-label], [title], [alt], [placeholder]")) {
        if (element.closest("[lang]:not([lang|=ko])")) continue;
        for (const attribute of ["aria-label", "title", "alt", "placeholder"])
            if (element.hasAttribute(attribute)) texts.push(element.getAttribute(attribute));
    }
    texts.push(document.title, document.querySelector('meta[name="description"]').content);
    // What the page's style adds: the words under a running terminal.
    for (const word of ["--running", "--reading"])
        texts.push(getComputedStyle(document.documentElement).getPropertyValue(word).replace(/"/g, ""));
    return texts;
}

export async function notEnglish(_, { browser, place }) {
    const tab = await koreanTab(browser, place);
    try {
        await inView(tab, "stairprompt");
        await waitForState(tab, "stairprompt", "reading");
        await tab.evaluate(() => { location.hash = "#gasket/cell/5/8"; });
        await tab.waitFor(() => document.querySelector("#gasket .player"));
        await inView(tab, "wedge");
        await tab.click("#wedge .edit");
        await tab.waitFor(() => document.querySelector('#wedge [contenteditable="true"]'));
        const english = (await tab.evaluate(readerTexts))
            .filter((words) => !/[\uac00-\ud7a3]/.test(words) && /[A-Za-z]{2,}/.test(words.replace(NAMES, "")));
        return english.map((words) => `English only: ${JSON.stringify(words)}`);
    } finally {
        await tab.close();
    }
}
