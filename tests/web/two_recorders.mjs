// Two recorders, one truth: a program's run recorded when the page is made
// (web/make/record.py, from the program built for this machine with g++,
// stepped through under gdb) and the same program's run recorded in the page
// (recorder.js, from the program the page's clang compiled and
// instrumented). They must write the same bytes, and every character they
// write must come from a step on the same line, in the same innermost call
// with the same arguments. Other steps may differ by design: the two
// compilers place a function's return and a loop's closing brace on
// different lines, so that one recorder has a step there that the other
// has not, and the page's takes a loop on one line one step a turn, where
// gdb runs it as one step.
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";
import vm from "node:vm";

const PAGE_SCRIPTS = resolve(import.meta.dirname, "..", "..", "web", "page");

// The player's reading of a recording, as the page has it.
const player = vm.createContext({ text: (key, { call, value }) => `${call} returned ${value}` });
for (const script of ["running/line_discipline.js", "playing/recording.js"])
    vm.runInContext(readFileSync(join(PAGE_SCRIPTS, script), "utf-8"), player);

// Every character RECORDING writes, in order: the step that wrote it, the
// file and line that step ran, and its innermost call as the player names it.
export function writers(recording) {
    const callsAfter = vm.runInContext("replayCalls", player)(recording);
    const found = [];
    recording.steps.forEach((step, i) => {
        const written = [...vm.runInContext("stepText", player)(recording, i + 1)];
        if (!written.length) return;
        const inner = callsAfter(i + 1).calls.at(-1);
        const [file, line] = vm.runInContext("stepLine", player)(step);
        const call = inner ? `${inner.name}(${inner.args.map(([name, value]) => `${name} = ${value}`).join(", ")})` : "no call";
        for (const ch of written) found.push({ ch, step: i + 1, line: `${recording.files[file]}:${line}`, call });
    });
    return found;
}

// Where the page's recording of a run disagrees with the build's.
export function disagreements(built, page) {
    const [ours, theirs] = [writers(built), writers(page)];
    const [bytes, pageBytes] = [ours.map(({ ch }) => ch).join(""), theirs.map(({ ch }) => ch).join("")];
    if (bytes !== pageBytes)
        return [`the page's run wrote ${JSON.stringify(pageBytes.slice(0, 60))}, not ${JSON.stringify(bytes.slice(0, 60))}`];
    const found = [];
    ours.forEach((one, i) => {
        const other = theirs[i];
        if (one.ch === "\n" || (one.line === other.line && one.call === other.call)) return;
        found.push(`character ${i}, ${JSON.stringify(one.ch)}: the build's step ${one.step} ran ${one.line} in ` +
                   `${one.call}, the page's step ${other.step} ${other.line} in ${other.call}`);
    });
    return found;
}
