// Runs the axe-core accessibility engine on a ranking page in the system's headless chromium,
// with a light and with a dark system setting, each as the page opens and with every folded
// part unfolded, and checks that the dark setting darkens the page on screen but not in print.
// With --shots DIR it keeps screenshots of the first driver's section (unfolded) and of the
// checks in both settings.
// Usage: node a11y-check.js PAGE [--shots DIR]
// Exit status: 0 without violations, 1 with violations or a browser failure, 2 on bad usage.
'use strict';

const fs = require('fs');
const path = require('path');
const axe = require('axe-core');
const { launchChromium, axeFoldedAndUnfolded } = require('./browser');

function usage() {
    console.error('usage: node a11y-check.js PAGE [--shots DIR]');
    process.exit(2);
}

const args = process.argv.slice(2);
if (args.length !== 1 && !(args.length === 3 && args[1] === '--shots')) {
    usage();
}
const page = path.resolve(args[0]);
const shots = args.length === 3 ? args[2] : null;
if (!fs.existsSync(page)) {
    console.error(`a11y-check: no page at ${args[0]}`);
    process.exit(2);
}

// Relative luminance of a computed "rgb(r, g, b)" colour.
function luminance(rgb) {
    const [r, g, b] = rgb.match(/\d+(\.\d+)?/g).slice(0, 3).map(Number).map((c) => {
        const s = c / 255;
        return s <= 0.03928 ? s / 12.92 : Math.pow((s + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}

async function pageColours(tab) {
    return tab.evaluate(() => {
        const style = getComputedStyle(document.documentElement);
        return { background: style.backgroundColor, text: style.color };
    });
}

async function main() {
    const { browser, close } = await launchChromium('a11y-');
    let failures = 0;
    try {
        const tab = await browser.newPage();
        await tab.setViewport({ width: 1000, height: 800 });
        // Media type and features in one call: each of puppeteer's own calls resets the other.
        const cdp = await tab.createCDPSession();
        const emulate = (media, scheme) => cdp.send('Emulation.setEmulatedMedia',
            { media, features: [{ name: 'prefers-color-scheme', value: scheme }] });
        for (const scheme of ['light', 'dark']) {
            await emulate('print', scheme);
            await tab.goto(`file://${page}`, { waitUntil: 'load' });
            const print = await pageColours(tab);
            if (luminance(print.background) < luminance(print.text)) {
                console.error(`a11y-check: print with the ${scheme} setting shows ` +
                    `${print.text} on ${print.background}`);
                failures++;
            }
            await emulate('screen', scheme);
            const screen = await pageColours(tab);
            const dark = luminance(screen.background) < luminance(screen.text);
            if (dark !== (scheme === 'dark')) {
                console.error(`a11y-check: ${scheme} setting shows ${screen.text} on ` +
                    `${screen.background}`);
                failures++;
            }

            await axeFoldedAndUnfolded(tab, axe.source, (folds, result) => {
                for (const violation of result.violations) {
                    failures++;
                    console.error(`a11y-check (${scheme}, ${folds}): ${violation.id} ` +
                        `(${violation.impact}): ${violation.help}`);
                    for (const node of violation.nodes.slice(0, 5)) {
                        console.error(`    ${node.target.join(' ')}: ${node.failureSummary}`);
                    }
                }
                console.log(`a11y-check (${scheme}, ${folds}): ${result.passes.length} rules ` +
                    `passed, ${result.violations.length} violated`);
            });

            if (shots) {
                fs.mkdirSync(shots, { recursive: true });
                for (const [name, selector] of [['driver', 'details.driver'], ['checks', '#checks']]) {
                    const element = await tab.$(selector);
                    if (!element) {
                        console.error(`a11y-check: nothing matches ${selector}`);
                        failures++;
                        continue;
                    }
                    await element.screenshot({ path: path.join(shots, `${name}-${scheme}.png`) });
                }
            }
        }
    } finally {
        await close();
    }
    return failures;
}

main().then((failures) => process.exit(failures ? 1 : 0), (error) => {
    console.error(`a11y-check: ${error.stack || error}`);
    process.exit(1);
});
