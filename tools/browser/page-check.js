// Looks at a ranking page in the system's headless chromium as its readers do, with a light and
// with a dark system setting:
// - at 1280 px wide: the page's height with every section folded, at most --max-height;
// - a link from the standings to a driver's section, and the address of that section loaded
//   anew, both open the folded section and show it;
// - at 390 px wide: no sideways scroll outside the points grid, no heading, caption or summary
//   cut, the place, code, time and gap of every listing on screen, and the chart's legend
//   text at least 12 px;
// - printed on A4: the front of the page (everything up to the end of the points-over-runs
//   chart, or of the points grid without a season) on at most --max-print-pages pages.
// Keeps screenshots and the printed front in OUT_DIR, and prints one line of figures a setting.
// Usage: node page-check.js PAGE OUT_DIR [--max-height PX] [--max-print-pages N]
// Exit status: 0 when every check passes, 1 on a failed check or a browser failure, 2 on bad
// usage.
'use strict';

const fs = require('fs');
const path = require('path');
const { launchChromium, sidewaysProblems } = require('./browser');

function usage() {
    console.error('usage: node page-check.js PAGE OUT_DIR [--max-height PX] ' +
        '[--max-print-pages N]');
    process.exit(2);
}

const args = process.argv.slice(2);
if (args.length < 2 || args.length % 2 !== 0) {
    usage();
}
const page = path.resolve(args[0]);
const out = args[1];
const limits = { height: Infinity, printPages: Infinity };
for (let i = 2; i < args.length; i += 2) {
    const value = Number(args[i + 1]);
    if (!Number.isInteger(value) || value <= 0) {
        usage();
    }
    if (args[i] === '--max-height') {
        limits.height = value;
    } else if (args[i] === '--max-print-pages') {
        limits.printPages = value;
    } else {
        usage();
    }
}
if (!fs.existsSync(page)) {
    console.error(`page-check: no page at ${args[0]}`);
    process.exit(2);
}
fs.mkdirSync(out, { recursive: true });

let failures = 0;
function fail(scheme, message) {
    console.error(`page-check (${scheme}): ${message}`);
    failures++;
}

// Pages of a PDF as chromium writes it: one "/Type /Page" dictionary each.
function pdfPageCount(pdf) {
    const text = Buffer.from(pdf).toString('latin1');
    return (text.match(/\/Type\s*\/Page(?![a-zA-Z])/g) || []).length;
}

// The driver section a standings link leads to, and whether it is open and on screen.
function sectionState(id) {
    const target = document.getElementById(id);
    if (!target) {
        return null;
    }
    const folding = target.closest('details');
    const box = target.getBoundingClientRect();
    return {
        open: folding ? folding.open : true,
        shown: box.top >= -1 && box.top < window.innerHeight && box.height > 0,
    };
}

async function checkWide(tab, scheme, figures) {
    await tab.setViewport({ width: 1280, height: 900 });
    await tab.goto(`file://${page}`, { waitUntil: 'load' });
    figures.height = await tab.evaluate(() => document.documentElement.scrollHeight);
    if (figures.height > limits.height) {
        fail(scheme, `the folded page is ${figures.height} px tall at 1280 px, more than ` +
            `${limits.height}`);
    }
    await tab.screenshot({ path: path.join(out, `page-1280-${scheme}.png`) });
    await tab.screenshot({ path: path.join(out, `page-1280-${scheme}-whole.png`), fullPage: true });

    const links = await tab.$$eval('#standings a[href^="#driver-"]',
        (anchors) => anchors.map((a) => a.getAttribute('href').slice(1)));
    if (links.length === 0) {
        return;
    }
    // Followed from the standings: the last driver's, far down the page.
    const clicked = links[links.length - 1];
    await tab.click(`#standings a[href="#${clicked}"]`);
    await new Promise((resolve) => setTimeout(resolve, 200));
    let state = await tab.evaluate(sectionState, clicked);
    if (!state || !state.open || !state.shown) {
        fail(scheme, `the standings link to #${clicked} leaves it ` +
            `${!state ? 'missing' : !state.open ? 'folded' : 'off screen'}`);
    }
    // Loaded anew at the address of a section, as from a bookmark or a shared link.
    const loaded = links[Math.floor(links.length / 2)];
    await tab.goto('about:blank');
    await tab.goto(`file://${page}#${loaded}`, { waitUntil: 'load' });
    await new Promise((resolve) => setTimeout(resolve, 200));
    state = await tab.evaluate(sectionState, loaded);
    if (!state || !state.open || !state.shown) {
        fail(scheme, `the address #${loaded} leaves it ` +
            `${!state ? 'missing' : !state.open ? 'folded' : 'off screen'}`);
    } else {
        await tab.screenshot({ path: path.join(out, `driver-1280-${scheme}.png`) });
    }
}

async function checkPhone(tab, scheme) {
    await tab.setViewport({ width: 390, height: 844 });
    await tab.goto(`file://${page}`, { waitUntil: 'load' });
    await tab.screenshot({ path: path.join(out, `page-390-${scheme}.png`) });
    const problems = await tab.evaluate(sidewaysProblems, true);
    problems.push(...await tab.evaluate(() => {
        const found = [];
        const whose = document.querySelector('tr.whose');
        if (whose && getComputedStyle(whose).display !== 'none') {
            found.push('the print-only header row shows on screen');
        }
        for (const text of document.querySelectorAll('#season .legend li')) {
            const size = parseFloat(getComputedStyle(text).fontSize);
            if (size < 12) {
                found.push(`legend text ${size} px`);
            }
        }
        return found;
    }));
    for (const problem of problems.slice(0, 10)) {
        fail(scheme, `at 390 px: ${problem}`);
    }
    if (problems.length > 10) {
        fail(scheme, `at 390 px: ${problems.length - 10} more`);
    }
    for (const [name, selector] of [['chart', '#season'], ['listing', 'details.rally'],
        ['checks', '#checks']]) {
        const element = await tab.$(selector);
        if (element) {
            await element.screenshot({ path: path.join(out, `${name}-390-${scheme}.png`) });
        }
    }
}

async function checkPrint(tab, cdp, scheme, figures) {
    await tab.setViewport({ width: 1280, height: 900 });
    await tab.goto(`file://${page}`, { waitUntil: 'load' });
    await cdp.send('Emulation.setEmulatedMedia',
        { media: 'print', features: [{ name: 'prefers-color-scheme', value: scheme }] });
    // A long table repeats its header on every page it runs over, and a driver's header says
    // whose table it is; the screen shows that row nowhere.
    const headers = await tab.evaluate(() => {
        const table = document.querySelector('table.driver-results');
        return table && {
            head: getComputedStyle(table.tHead).display,
            whose: getComputedStyle(table.tHead.rows[0]).display,
            owner: table.tHead.rows[0].textContent,
        };
    });
    if (headers && (headers.head !== 'table-header-group' || headers.whose !== 'table-row')) {
        fail(scheme, `printed, a driver's header is ${headers.head} with a ${headers.whose} ` +
            `row "${headers.owner}"`);
    }
    const options = { format: 'A4', printBackground: false };
    const whole = await tab.pdf(options);
    figures.wholePages = pdfPageCount(whole);
    await tab.evaluate(() => {
        for (const details of document.querySelectorAll('details')) {
            details.open = true;
        }
    });
    figures.unfoldedPages = pdfPageCount(await tab.pdf(options));
    await tab.evaluate(() => {
        for (const details of document.querySelectorAll('details')) {
            details.open = false;
        }
    });
    // The front: what follows the chart (or the grid) is left out.
    await tab.evaluate(() => {
        const last = document.getElementById('season') || document.getElementById('points');
        while (last && last.nextElementSibling) {
            last.nextElementSibling.remove();
        }
    });
    const front = await tab.pdf(options);
    fs.writeFileSync(path.join(out, `front-${scheme}.pdf`), front);
    figures.frontPages = pdfPageCount(front);
    if (figures.frontPages > limits.printPages) {
        fail(scheme, `the front prints on ${figures.frontPages} A4 pages, more than ` +
            `${limits.printPages}`);
    }
}

async function main() {
    const { browser, close } = await launchChromium('page-check-', { hideScrollbars: true });
    try {
        for (const scheme of ['light', 'dark']) {
            const tab = await browser.newPage();
            const cdp = await tab.createCDPSession();
            await cdp.send('Emulation.setEmulatedMedia',
                { media: 'screen', features: [{ name: 'prefers-color-scheme', value: scheme }] });
            const figures = {};
            await checkWide(tab, scheme, figures);
            await checkPhone(tab, scheme);
            await checkPrint(tab, cdp, scheme, figures);
            console.log(`page-check (${scheme}): ${figures.height} px tall at 1280 px folded; ` +
                `printed on A4: ${figures.frontPages} pages up to the chart, ` +
                `${figures.wholePages} the whole folded page, ${figures.unfoldedPages} unfolded`);
            await tab.close();
        }
    } finally {
        await close();
    }
}

main().then(() => process.exit(failures ? 1 : 0), (error) => {
    console.error(`page-check: ${error.stack || error}`);
    process.exit(1);
});
