// What the browser checks share: Debian's Chromium as each starts it, axe-core run on a page
// as it opens and with every folded part unfolded, and what of a page does not fit its width.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

// Headless, in a profile of its own, with nothing that talks to the network on its own.
// `close` ends it and removes the profile.
async function launchChromium(prefix, { hideScrollbars = false } = {}) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
    const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'];
    if (hideScrollbars) {
        args.push('--hide-scrollbars');
    }
    const browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true,
        userDataDir: profile,
        args,
    });
    const close = async () => {
        await browser.close();
        fs.rmSync(profile, { recursive: true, force: true });
    };
    return { browser, close };
}

// axe-core's violations on the page in `tab`, folded as it opens and then with every
// <details> open (axe skips what is not shown): `report(folds, result)` for each.
async function axeFoldedAndUnfolded(tab, axeSource, report) {
    await tab.evaluate(axeSource);
    for (const folds of ['folded', 'unfolded']) {
        if (folds === 'unfolded') {
            await tab.evaluate(() => {
                for (const details of document.querySelectorAll('details')) {
                    details.open = true;
                }
            });
        }
        const result = await tab.evaluate(() =>
            window.axe.run(document, { resultTypes: ['violations'] }));
        report(folds, result);
    }
}

// What does not fit at the window's width, every fold open; with `narrow` (a phone) also the
// tables that scroll in their boxes, cut headings, and a listing's place, code, time and gap
// off screen. Run in the page: tab.evaluate(sidewaysProblems, narrow).
function sidewaysProblems(narrow) {
    const found = [];
    const width = document.documentElement.clientWidth;
    for (const folding of document.querySelectorAll('details')) {
        folding.open = true;
    }
    if (document.documentElement.scrollWidth > width) {
        found.push(`the page scrolls sideways (${document.documentElement.scrollWidth} px)`);
    }
    if (!narrow) {
        return found;
    }
    for (const box of document.querySelectorAll('.scroll')) {
        if (!box.querySelector('#points-grid') && box.scrollWidth > box.clientWidth + 1) {
            const table = box.querySelector('table');
            const heads = [...table.tHead.rows[table.tHead.rows.length - 1].cells]
                .map((th) => th.textContent).join('|');
            found.push(`a table scrolls sideways: ${table.id || table.className} ` +
                `${table.dataset.event || ''} [${heads}] (${box.scrollWidth} px in ` +
                `${box.clientWidth})`);
        }
    }
    for (const text of document.querySelectorAll('h1, h2, h3, caption, summary, th')) {
        if (text.closest('#points-grid') || getComputedStyle(text).display === 'none') {
            continue;
        }
        const box = text.getBoundingClientRect();
        if (text.scrollWidth > text.clientWidth + 1 || box.right > width + 1) {
            found.push(`cut: ${text.tagName.toLowerCase()} "${text.textContent.trim()}"`);
        }
    }
    // Place, code, time and gap: the columns a phone keeps.
    for (const table of document.querySelectorAll('table.listing')) {
        for (const column of [0, 1, 5, 6]) {
            const th = table.tHead.rows[0].cells[column];
            if (th.getBoundingClientRect().right > width + 1 ||
                getComputedStyle(th).display === 'none') {
                found.push(`${th.textContent} of ${table.dataset.event} off screen`);
            }
        }
    }
    return found;
}

module.exports = { launchChromium, axeFoldedAndUnfolded, sidewaysProblems };
