// What the page gives its reader, each group given a tab with the page open:
//   colours   every listing is the program's whole source, exact, marked up
//             by highlight.js when the page was made, and the page loads no
//             highlighter of its own;
//   contents  the list of contents links to all twelve sections, each once.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";

const ROOT = resolve(import.meta.dirname, "..", "..");

export async function colours(tab) {
    const listings = await tab.evaluate(() => [...document.querySelectorAll("section[id]")].map((section) => ({
        name: section.id,
        path: section.querySelector(".source-name").textContent,
        text: section.querySelector(".listing").textContent,
        marked: section.querySelectorAll(".listing code.hljs [class^='hljs-']").length,
    })));
    const loaded = await tab.evaluate(() => [
        typeof window.hljs !== "undefined",
        [...document.scripts].map((script) => script.src).filter((src) => /highlight|hljs/.test(src)),
    ]);
    const problems = [];
    for (const { name, path, text, marked } of listings) {
        if (text !== readFileSync(join(ROOT, path), "utf-8")) problems.push(`${name}'s listing is not ${path} exactly`);
        if (marked < 10) problems.push(`${name}'s listing has ${marked} parts marked by highlight.js`);
    }
    if (listings.length !== 12) problems.push(`${listings.length} listings, not 12`);
    if (loaded[0]) problems.push("the page has a highlighter of its own (window.hljs)");
    for (const src of loaded[1]) problems.push(`the page loads a highlighter: ${src}`);
    return problems;
}

export async function contents(tab) {
    const links = await tab.evaluate(() => [...document.querySelectorAll("nav a")].map((link) => {
        const id = link.getAttribute("href").replace(/^#/, "");
        const target = document.getElementById(id);
        return [link.getAttribute("href"), link.textContent, target?.tagName === "SECTION" ? id : null];
    }));
    const problems = [];
    const seen = new Set();
    for (const [href, text, section] of links) {
        if (!section) problems.push(`the contents link ${href} ("${text}") leads to no section`);
        else if (!text.includes(section)) problems.push(`the contents link to ${section} reads "${text}"`);
        else if (seen.has(section)) problems.push(`the contents link to ${section} twice`);
        seen.add(section);
    }
    if (links.length !== 12) problems.push(`the contents have ${links.length} links, not 12`);
    return problems;
}
