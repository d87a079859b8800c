// Looks at the ranking page in every language in one headless chromium session: each page says
// its language, never scrolls sideways at 390 px (every fold open) nor at 1280 px, cuts no
// heading, caption, summary or column head at 390 px (the points grid scrolls on its own),
// keeps the place, code, time and gap of every listing on screen at 390 px, and has no axe-core
// violation, folded or unfolded. The longer words of German or Finnish must fit where English
// does. Keeps a screenshot of each page at 390 px in OUT_DIR.
// Usage: node languages-check.js OUT_DIR PAGE...   (each PAGE named ranking-CODE.html)
// Exit status: 0 when every check passes, 1 on a failed check or a browser failure, 2 on bad
// usage.
'use strict';

const fs = require('fs');
const path = require('path');
const axe = require('axe-core');
const { launchChromium, axeFoldedAndUnfolded, sidewaysProblems } = require('./browser');

const args = process.argv.slice(2);
if (args.length < 2) {
    console.error('usage: node languages-check.js OUT_DIR PAGE...');
    process.exit(2);
}
const out = args[0];
const pages = args.slice(1).map((page) => path.resolve(page));
for (const page of pages) {
    if (!fs.existsSync(page) || !/ranking-[a-z]{2}\.html$/.test(page)) {
        console.error(`languages-check: no page ranking-CODE.html at ${page}`);
        process.exit(2);
    }
}
fs.mkdirSync(out, { recursive: true });

let failures = 0;
function fail(code, message) {
    console.error(`languages-check (${code}): ${message}`);
    failures++;
}

async function checkPage(tab, page) {
    const code = page.match(/ranking-([a-z]{2})\.html$/)[1];
    await tab.setViewport({ width: 1280, height: 900 });
    await tab.goto(`file://${page}`, { waitUntil: 'load' });
    const lang = await tab.evaluate(() => document.documentElement.lang);
    if (lang !== code) {
        fail(code, `the page says lang="${lang}"`);
    }
    await axeFoldedAndUnfolded(tab, axe.source, (folds, result) => {
        for (const violation of result.violations) {
            fail(code, `${folds}: ${violation.id} (${violation.impact}): ${violation.help}`);
            for (const node of violation.nodes.slice(0, 3)) {
                console.error(`    ${node.target.join(' ')}: ${node.failureSummary}`);
            }
        }
    });
    for (const width of [1280, 390]) {
        await tab.setViewport({ width, height: 844 });
        await tab.goto(`file://${page}`, { waitUntil: 'load' });
        if (width === 390) {
            await tab.screenshot({ path: path.join(out, `page-390-${code}.png`) });
        }
        const problems = await tab.evaluate(sidewaysProblems, width === 390);
        for (const problem of problems.slice(0, 10)) {
            fail(code, `at ${width} px: ${problem}`);
        }
        if (problems.length > 10) {
            fail(code, `at ${width} px: ${problems.length - 10} more`);
        }
    }
    console.log(`languages-check (${code}): looked at 1280 and 390 px, axe folded and unfolded`);
}

async function main() {
    const { browser, close } = await launchChromium('languages-');
    try {
        const tab = await browser.newPage();
        for (const page of pages) {
            await checkPage(tab, page);
        }
    } finally {
        await close();
    }
}

main().then(() => process.exit(failures ? 1 : 0), (error) => {
    console.error(`languages-check: ${error.stack || error}`);
    process.exit(1);
});
