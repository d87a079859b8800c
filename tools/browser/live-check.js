// Looks at the live board in the system's headless chromium as an organiser's second screen
// and a stream overlay see it:
// - the page loads with its style and its script, and the browser refuses nothing of it under
//   the server's Content-Security-Policy;
// - a reader opens a driver's section and scrolls down; a new participant file is written in
//   two halves three seconds apart (by the caller, on a signal through the files below): the
//   half is never imported, and after the second half the page shows one more driver without
//   a reload (a value set on `window` before is still there), with the heading at the top of
//   the window within 50 px of where it was and the section still open;
// - the overlay's background is transparent.
// Screenshots of the page before and after, and of the overlay at 1920x1080, stay in OUT_DIR.
// Usage: node live-check.js URL OUT_DIR HALF_FILE WHOLE_FILE TARGET
//   HALF_FILE and WHOLE_FILE are the new participant file's first half and whole bytes; the
//   script writes them to TARGET itself.
// Exit status: 0 when every check passes, 1 otherwise, 2 on bad usage.
'use strict';

const fs = require('fs');
const path = require('path');
const { launchChromium } = require('./browser');

const [url, out, halfFile, wholeFile, target] = process.argv.slice(2);
if (!target) {
    console.error('usage: node live-check.js URL OUT_DIR HALF_FILE WHOLE_FILE TARGET');
    process.exit(2);
}
fs.mkdirSync(out, { recursive: true });
let failures = 0;
function fail(message) {
    console.error(`live-check: ${message}`);
    failures++;
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
    const { browser, close } = await launchChromium('kvr-live-', { hideScrollbars: true });
    try {
        const tab = await browser.newPage();
        const refused = [];
        tab.on('console', (message) => {
            if (/Content Security Policy|Refused to/i.test(message.text())) {
                refused.push(message.text());
            }
        });
        await tab.setViewport({ width: 1280, height: 900 });
        await tab.goto(url, { waitUntil: 'load' });
        await sleep(500);
        const styled = await tab.evaluate(() =>
            getComputedStyle(document.querySelector('h2')).borderBottomStyle);
        if (styled !== 'solid') {
            fail(`the page's style is not applied (h2 border: ${styled})`);
        }
        const rows = () => tab.evaluate(() =>
            document.querySelectorAll('#standings tbody tr').length);
        const before = await rows();
        await tab.screenshot({ path: path.join(out, 'live-before.png') });

        // A reader's state: a value of their own, an opened driver, a scroll position.
        const opened = await tab.evaluate(() => {
            window.readerMark = 'still here';
            const folds = [...document.querySelectorAll('details')].filter((d) =>
                d.querySelector('[id^="driver-"]'));
            const fold = folds[Math.min(2, folds.length - 1)];
            fold.open = true;
            return fold.querySelector('[id^="driver-"]').id;
        });
        await tab.evaluate(() => window.scrollTo(0, 1400));
        await sleep(200);
        const scrolled = await tab.evaluate(() => window.scrollY);
        // The heading nearest the top of the window, which the reader is looking at: by its
        // text without numbers (a driver's points change), since the page's nodes are new
        // after an update.
        let looked = null;
        const seen = () => tab.evaluate((text) => {
            const plain = (h) => h.textContent.replace(/[0-9]+/g, '#');
            // Not what a closed fold holds, which may still have a size.
            const headings = [...document.querySelectorAll('h2,h3,caption,summary')]
                .filter((h) => h.getClientRects().length > 0 &&
                    !(h.closest('details:not([open])') && h.tagName !== 'SUMMARY'));
            const heading = text === null
                ? headings.find((h) => h.getBoundingClientRect().top >= 0)
                : headings.find((h) => plain(h) === text);
            return heading ? { text: plain(heading), top: heading.getBoundingClientRect().top }
                : null;
        }, looked && looked.text);
        looked = await seen();

        fs.writeFileSync(target, fs.readFileSync(halfFile));
        await sleep(3000);
        if (await rows() !== before) {
            fail('a half-written participant file was imported');
        }
        fs.appendFileSync(target, fs.readFileSync(wholeFile).subarray(fs.statSync(halfFile).size));
        const whole = Date.now();
        while (await rows() === before && Date.now() - whole < 6000) {
            await sleep(50);
        }
        const took = Date.now() - whole;
        const after = await rows();
        if (after !== before + 1) {
            fail(`the page shows ${after} drivers after the file arrived, not ${before + 1}`);
        } else if (took > 2000) {
            fail(`the new driver showed ${took} ms after the file was whole, more than 2000`);
        }
        const nowSeen = await seen();
        const state = await tab.evaluate((id) => ({
            mark: window.readerMark,
            y: window.scrollY,
            open: document.getElementById(id).closest('details').open,
            line: document.querySelector('#live .when').textContent,
        }), opened);
        if (state.mark !== 'still here') {
            fail('the page was reloaded: the reader\'s own value is gone');
        }
        if (!looked || !nowSeen || Math.abs(nowSeen.top - looked.top) > 50) {
            fail(`the heading the reader looked at moved in the window: ` +
                `${JSON.stringify(looked)} -> ${JSON.stringify(nowSeen)}`);
        }
        if (!state.open) {
            fail(`the section ${opened} the reader opened is folded again`);
        }
        await tab.screenshot({ path: path.join(out, 'live-after.png') });
        await tab.evaluate(() => window.scrollTo(0, 0));
        await tab.screenshot({ path: path.join(out, 'live-after-top.png') });

        const overlay = await browser.newPage();
        overlay.on('console', (message) => {
            if (/Content Security Policy|Refused to/i.test(message.text())) {
                refused.push(message.text());
            }
        });
        await overlay.setViewport({ width: 1920, height: 1080 });
        await overlay.goto(new URL('overlay?top=10', url).href, { waitUntil: 'load' });
        const look = await overlay.evaluate(() => ({
            html: getComputedStyle(document.documentElement).backgroundColor,
            body: getComputedStyle(document.body).backgroundColor,
            rows: document.querySelectorAll('tbody tr').length,
            size: parseFloat(getComputedStyle(document.querySelector('table')).fontSize),
        }));
        if (look.html !== 'rgba(0, 0, 0, 0)' || look.body !== 'rgba(0, 0, 0, 0)') {
            fail(`the overlay's background is not transparent (${look.html}, ${look.body})`);
        }
        if (look.rows !== Math.min(10, after) || look.size < 32) {
            fail(`the overlay shows ${look.rows} rows in ${look.size} px type`);
        }
        await overlay.screenshot({ path: path.join(out, 'overlay-1920.png'), omitBackground: true });
        for (const text of refused) {
            fail(`the browser refused: ${text}`);
        }
        console.log(`live-check: ${before} -> ${after} drivers, shown ${took} ms after the file ` +
            `was whole; scroll ${scrolled} -> ${state.y}, "${looked && looked.text}" at ` +
            `${looked && looked.top} -> ${nowSeen && nowSeen.top} px; section open: ${state.open}; ` +
            `"${state.line}"; overlay ${look.rows} rows, ${look.size} px, background ${look.html}`);
    } finally {
        await close();
    }
}

main().then(() => process.exit(failures === 0 ? 0 : 1), (error) => {
    console.error(`live-check: ${error.stack || error}`);
    process.exit(1);
});
