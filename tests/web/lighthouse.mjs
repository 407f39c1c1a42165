// Lighthouse, as the lock file pins it, judging the page as web engineers
// do: run from its own command line against Debian's Chromium, as a phone on
// a slow 4G network with a four times slower processor (its default), or as
// a desktop. Used by the page's tests and its benchmark.
import { execFile } from "node:child_process";
import { join } from "node:path";
import { promisify } from "node:util";

import { npmRequire } from "./browsers.mjs";
import { CHROMIUM_FLAGS } from "./puppeteer_tab.mjs";

// Chromium as the tests run it, that the network may refuse nothing.
const CHROME_FLAGS = ["--headless=new", ...CHROMIUM_FLAGS];

export const CATEGORIES = ["performance", "accessibility", "best-practices", "seo"];

// Runs Lighthouse on URL as a "mobile" or "desktop" device, for the given
// categories; answers its report, parsed.
export async function lighthouse(url, device, categories = CATEGORIES) {
    const cli = join(npmRequire.resolve("lighthouse/package.json"), "..", "cli", "index.js");
    const { stdout } = await promisify(execFile)(process.execPath, [
        cli, url, "--quiet", "--output=json", "--output-path=stdout",
        `--only-categories=${categories.join(",")}`, `--chrome-flags=${CHROME_FLAGS.join(" ")}`,
        ...(device === "desktop" ? ["--preset=desktop"] : []),
    ], { env: { ...process.env, CHROME_PATH: "/usr/bin/chromium" }, maxBuffer: 1 << 28 });
    return JSON.parse(stdout);
}

// A category's score out of 100, and the audits that kept it from 100.
export function score(report, category) {
    const { score: value, auditRefs } = report.categories[category];
    const missed = auditRefs.filter(({ id, weight }) => weight > 0 && report.audits[id].score !== null
                                                        && report.audits[id].score < 1)
        .map(({ id }) => `${id} (${report.audits[id].displayValue ?? report.audits[id].score})`);
    return [Math.round(value * 100), missed];
}
