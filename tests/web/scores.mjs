// scores.mjs [FOLDER]: has Lighthouse judge the page (build/web, or the one
// in FOLDER), in English and in Korean, served with gzip as a static host
// serves it, as a phone and as a desktop: accessibility, best practices and
// SEO must each score 100, the links between the two pages valid among them.
// Its speed is the benchmark's to measure (tools/web-benchmark), not a test's.
import { serve } from "./browsers.mjs";
import { lighthouse, score } from "./lighthouse.mjs";

const CATEGORIES = ["accessibility", "best-practices", "seo"];

async function main() {
    const server = await serve(process.argv[2]);
    const problems = [];
    try {
        for (const [page, path] of [["English", ""], ["Korean", "ko/"]]) {
            for (const device of ["mobile", "desktop"]) {
                const report = await lighthouse(server.url + path, device, CATEGORIES);
                if (report.runtimeError) problems.push(`${page}, ${device}: ${report.runtimeError.message}`);
                for (const category of CATEGORIES) {
                    const [value, missed] = score(report, category);
                    console.log(`${page}, ${device} ${category}: ${value}`);
                    if (value !== 100) problems.push(`${page}, ${device} ${category} scores ${value}: ${missed.join(", ")}`);
                }
            }
        }
    } finally {
        server.close();
    }
    for (const problem of problems) console.log(problem);
    process.exit(problems.length ? 1 : 0);
}

await main();
