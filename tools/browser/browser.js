// What the browser checks share: Debian's Chromium as each starts it, and axe-core run on a page
// as it opens and with every folded part unfolded.
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

module.exports = { launchChromium, axeFoldedAndUnfolded };
