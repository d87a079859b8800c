// Looks at a live board through a whole evening in the system's headless chromium, as the
// organiser's stream and a reader on a second screen see it:
// - the board starts on a game folder whose kvr/ is empty, and the page and the overlay are
//   opened before the first participant file: both are styled from the first minute;
// - the first files arrive: the page and the overlay update in place and keep their style (the
//   overlay's rows in type of at least 32 px on a transparent background, the page's rules,
//   which the update brings along to a page whose style was taken away before);
// - a reader opens a driver's section and scrolls the Checks heading into the window; five
//   more drivers arrive one after the other: after each run the heading stays within 50 px of
//   where it was in the window, and the section stays open;
// - the board is killed (SIGKILL): within 5 s the page's live line says it is offline, with
//   the last results still there, and the overlay keeps its rows and only marks itself;
// - a board started again on the same port is picked up without a reload; then SIGHUP ends it
//   with exit status 0, and the page says offline again.
// Screenshots of each step stay in OUT_DIR.
// Usage: node live-evening-check.js KVRRANK GAME_DIR POOL_DIR OUT_DIR
//   GAME_DIR has an empty kvr/; POOL_DIR holds the participant files that arrive (at least 6).
// Exit status: 0 when every check passes, 1 otherwise, 2 on bad usage.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const { launchChromium } = require('./browser');

const [kvrrank, game, pool, out] = process.argv.slice(2);
if (!out) {
    console.error('usage: node live-evening-check.js KVRRANK GAME_DIR POOL_DIR OUT_DIR');
    process.exit(2);
}
fs.mkdirSync(out, { recursive: true });
let failures = 0;
function fail(message) {
    console.error(`live-evening-check: ${message}`);
    failures++;
}
function say(message) {
    console.log(`live-evening-check: ${message}`);
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `test` every 50 ms until it returns a truthy value or `limit` ms pass; returns the
// value (or the last falsy one) and the time taken.
async function waitFor(test, limit) {
    const start = Date.now();
    let value = await test();
    while (!value && Date.now() - start < limit) {
        await sleep(50);
        value = await test();
    }
    return { value, took: Date.now() - start };
}

const log = fs.openSync(path.join(out, 'evening-console.txt'), 'a');

// Starts kvrrank --serve on GAME_DIR at `port` (0: any) and resolves with the process and the
// page's address once it says where it serves.
function startBoard(port) {
    const board = childProcess.spawn(kvrrank, ['--serve', String(port), '--no-records'],
        { cwd: game, stdio: ['ignore', 'pipe', 'pipe'] });
    board.ended = new Promise((resolve) => board.on('exit', (code, signal) =>
        resolve({ code, signal })));
    return new Promise((resolve, reject) => {
        let said = '';
        const timer = setTimeout(() => reject(new Error(`the board did not start: ${said}`)),
            15000);
        const take = (chunk) => {
            fs.writeSync(log, chunk);
            said += chunk.toString();
            const found = said.match(/Live page: (http:\/\/127\.0\.0\.1:\d+\/)/);
            if (found && !board.url) {
                board.url = found[1];
                clearTimeout(timer);
                resolve(board);
            }
        };
        board.stdout.on('data', take);
        board.stderr.on('data', take);
        board.on('exit', () => reject(new Error(`the board ended: ${said}`)));
    });
}

const arriving = fs.readdirSync(pool).filter((name) => name.endsWith('.kvr')).sort();
// Copies the next participant file into kvr/ through a temporary name, as a whole.
function arrive() {
    const name = arriving.shift();
    const target = path.join(game, 'kvr', name);
    fs.copyFileSync(path.join(pool, name), `${target}.part`);
    fs.renameSync(`${target}.part`, target);
    return name;
}

// A screenshot of `tab`, brought to the front first: a tab behind another is not painted. The
// overlay's keeps its transparent background.
async function shot(tab, name) {
    await tab.bringToFront();
    await tab.screenshot({ path: path.join(out, name), omitBackground: true });
}

// The drivers in the board's standings, as its JSON tells them now.
const standingsOf = (tab) => tab.evaluate(() => fetch('/ranking.json', { cache: 'no-store' })
    .then((response) => response.json()).then((json) => (json.standings || []).length));

const runOf = (tab) => tab.evaluate(() => {
    const holder = document.querySelector('[data-run]');
    return holder ? Number(holder.getAttribute('data-run')) : -1;
});

async function main() {
    if (arriving.length < 6) {
        throw new Error(`${pool} holds ${arriving.length} participant files, not 6 or more`);
    }
    let board = await startBoard(0);
    const url = board.url;
    const port = Number(new URL(url).port);
    const { browser, close } = await launchChromium('kvr-evening-', { hideScrollbars: true });
    try {
        const refused = [];
        const open = async (address, width, height) => {
            const tab = await browser.newPage();
            tab.on('console', (message) => {
                if (/Content Security Policy|Refused to/i.test(message.text())) {
                    refused.push(message.text());
                }
            });
            await tab.setViewport({ width, height });
            // The page's live line, or nothing when it has none.
            await tab.evaluateOnNewDocument(() => {
                window.lineText = () => {
                    const line = document.querySelector('#live .when');
                    return line ? line.textContent : '';
                };
            });
            await tab.goto(address, { waitUntil: 'load' });
            // A value of the reader's own: gone if the tab reloads.
            await tab.evaluate(() => { window.readerMark = 'still here'; });
            return tab;
        };
        const page = await open(url, 1280, 900);
        const overlay = await open(new URL('overlay?top=10', url).href, 1920, 1080);
        await sleep(500);

        // The first minute: nothing to show yet, and both already in their own style.
        const early = await page.evaluate(() => ({
            line: lineText(),
            rules: [...document.styleSheets].reduce((n, sheet) => n + sheet.cssRules.length, 0),
            h1: parseFloat(getComputedStyle(document.querySelector('h1')).fontSize),
        }));
        if (early.rules < 50 || Math.abs(early.h1 - 22.4) > 0.5) {
            fail(`the waiting page is not styled: ${early.rules} rules, h1 ${early.h1} px`);
        }
        const overlayLook = () => overlay.evaluate(() => {
            const cell = document.querySelector('tbody td');
            return {
                html: getComputedStyle(document.documentElement).backgroundColor,
                body: getComputedStyle(document.body).backgroundColor,
                color: getComputedStyle(document.body).color,
                rows: document.querySelectorAll('tbody tr').length,
                size: cell ? parseFloat(getComputedStyle(cell).fontSize) : 0,
                offline: document.documentElement.classList.contains('offline'),
                mark: getComputedStyle(document.getElementById('overlay'), '::after').content,
            };
        });
        const waiting = await overlayLook();
        if (waiting.body !== 'rgba(0, 0, 0, 0)' || waiting.color !== 'rgb(255, 255, 255)') {
            fail(`the waiting overlay is not styled (${waiting.body}, ${waiting.color})`);
        }
        await shot(overlay, 'evening-overlay-waiting.png');
        await shot(page, 'evening-page-waiting.png');

        // A page first served without its style (as by an older board) gets it with the
        // next update: the script brings a head's style along when it differs.
        await page.evaluate(() => document.querySelectorAll('head style').forEach((style) => style.remove()));

        // The first drivers arrive: one run, and both have their style.
        const first = [];
        for (let count = arriving.length - 5; count > 0; --count) {
            first.push(arrive());
        }
        const firstRun = await waitFor(async () => await runOf(page) >= 1 &&
            await runOf(overlay) >= 1, 15000);
        if (!firstRun.value) {
            throw new Error('the first participant files reached neither the page nor the overlay');
        }
        const styled = await page.evaluate(() => ({
            rules: [...document.styleSheets].reduce((n, sheet) => n + sheet.cssRules.length, 0),
            border: getComputedStyle(document.querySelector('h2')).borderBottomStyle,
            rows: document.querySelectorAll('#standings tbody tr').length,
            mark: window.readerMark,
        }));
        if (styled.rules < 50 || styled.border !== 'solid') {
            fail(`the page lost its style in the update: ${styled.rules} rules, h2 border ` +
                styled.border);
        }
        let look = await overlayLook();
        if (look.size < 32 || look.html !== 'rgba(0, 0, 0, 0)' || look.body !== 'rgba(0, 0, 0, 0)') {
            fail(`the overlay lost its style in the update: ${look.size} px type, background ` +
                `${look.html}, ${look.body}`);
        }
        const standing = await standingsOf(page);
        if (standing === 0 || look.rows !== Math.min(10, standing) || styled.rows !== standing) {
            fail(`${first.length} files, ${standing} drivers in the standings: the overlay shows ` +
                `${look.rows} rows, the page ${styled.rows}`);
        }
        say(`first files: ${first.length} files ${firstRun.took} ms after they arrived; page ` +
            `${styled.rules} style rules; overlay ${look.rows} rows in ${look.size} px type`);

        // The reader: a driver's section open, the Checks heading 353 px down the window.
        // A driver's fold by its summary without the numbers, which change as drivers arrive:
        // "Name (CODE)".
        const opened = await page.evaluate(() => {
            const folds = [...document.querySelectorAll('details')].filter((d) =>
                d.querySelector('[id^="driver-"]'));
            // The leader's: a driver with no points leaves the standings and their section.
            const fold = folds[0];
            fold.open = true;
            return fold.querySelector('summary').textContent.replace(/^\d+\. /, '')
                .replace(/: .*$/, '');
        });
        const heading = () => page.evaluate(() =>
            document.querySelector('#checks h2').getBoundingClientRect().top);
        // How far the document goes on below the heading, and whether the window is at its end.
        const below = () => page.evaluate(() => ({
            below: document.scrollingElement.scrollHeight - window.scrollY -
                document.querySelector('#checks h2').getBoundingClientRect().top,
            end: window.scrollY >= document.scrollingElement.scrollHeight - window.innerHeight - 1,
        }));
        await page.evaluate(() => {
            const h2 = document.querySelector('#checks h2');
            window.scrollTo(0, h2.getBoundingClientRect().top + window.scrollY - 353);
        });
        await sleep(200);
        const at = await heading();
        say(`the reader's window: ${JSON.stringify(await below())}`);
        const scrolledTo = await page.evaluate(() => window.scrollY);
        let farthest = 0;
        for (let i = 0; i < 5; ++i) {
            const before = await runOf(page);
            const name = arrive();
            const next = await waitFor(async () => await runOf(page) > before &&
                await runOf(overlay) > before, 15000);
            if (!next.value) {
                fail(`${name} reached the page or the overlay not within 15 s`);
                continue;
            }
            const now = await heading();
            farthest = Math.max(farthest, Math.abs(now - at));
            const state = await page.evaluate((who) => ({
                open: [...document.querySelectorAll('details')].filter((d) =>
                    d.querySelector('[id^="driver-"]') &&
                    d.querySelector('summary').textContent.includes(`. ${who}: `))
                    .map((d) => d.open).join(),
                rows: document.querySelectorAll('#standings tbody tr').length,
            }), opened);
            if (Math.abs(now - at) > 50) {
                fail(`after ${name} the Checks heading moved in the window from ${at} to ${now} px ` +
                    `(${JSON.stringify(await below())})`);
            }
            if (state.open !== 'true') {
                fail(`after ${name} the section of ${opened} the reader opened is not open ` +
                    `alone (${state.open})`);
            }
            const told = await standingsOf(page);
            if (state.rows !== told) {
                fail(`after ${name} the page shows ${state.rows} drivers, the board ${told}`);
            }
        }
        const drivers = await standingsOf(page);
        const read = await page.evaluate(() => ({ y: window.scrollY, mark: window.readerMark }));
        say(`five more drivers: the Checks heading at ${at} px moved ${farthest} px at most ` +
            `(the page scrolled from ${scrolledTo} to ${read.y})`);
        await shot(page, 'evening-page-reader.png');
        look = await overlayLook();
        if (look.rows !== Math.min(10, drivers) || look.size < 32) {
            fail(`after ${drivers} drivers the overlay shows ${look.rows} rows in ${look.size} px`);
        }
        await shot(overlay, 'evening-overlay-five.png');

        // The board is killed: offline within 5 s, the results kept.
        const lastRun = await runOf(page);
        const killed = Date.now();
        board.kill('SIGKILL');
        const offline = await waitFor(() => page.evaluate(() =>
            /^Offline since \d\d:\d\d:\d\d: /.test(lineText())), 5000);
        const overlayOffline = await waitFor(async () => (await overlayLook()).offline,
            Math.max(0, 5000 - (Date.now() - killed)));
        const line = await page.evaluate(() => lineText());
        const kept = await page.evaluate(() =>
            document.querySelectorAll('#standings tbody tr').length);
        if (!offline.value) {
            fail(`5 s after SIGKILL the page still says "${line}"`);
        } else if (!line.includes('the results below are the last the board sent')) {
            fail(`the offline note does not say the results are the last sent: "${line}"`);
        }
        look = await overlayLook();
        if (!overlayOffline.value) {
            fail('5 s after SIGKILL the overlay is not marked offline');
        }
        if (look.rows !== Math.min(10, drivers) || look.size < 32 || kept !== drivers) {
            fail(`offline, the overlay shows ${look.rows} rows in ${look.size} px and the page ` +
                `${kept} drivers`);
        }
        say(`SIGKILL: the page said "${line}" after ${offline.took} ms; the overlay kept ` +
            `${look.rows} rows, marked ${look.mark}`);
        await shot(overlay, 'evening-overlay-offline.png');
        await page.evaluate(() => window.scrollTo(0, 0));
        await shot(page, 'evening-page-offline.png');

        // A new board on the same address: picked up without a reload.
        await board.ended;
        const restarted = Date.now();
        board = await startBoard(port);
        const back = await waitFor(() => page.evaluate(() =>
            document.querySelector('[data-run]').getAttribute('data-run') === '1' &&
            /^Live: results last changed at /.test(lineText())), 15000);
        const overlayBack = await waitFor(async () => !(await overlayLook()).offline &&
            await runOf(overlay) === 1, Math.max(0, 15000 - (Date.now() - restarted)));
        const again = await page.evaluate(() => ({
            mark: window.readerMark,
            line: lineText(),
            rows: document.querySelectorAll('#standings tbody tr').length,
        }));
        const overlayMark = await overlay.evaluate(() => window.readerMark);
        if (!back.value) {
            fail(`the page did not pick up the new board within 15 s: "${again.line}"`);
        }
        if (!overlayBack.value) {
            fail('the overlay did not pick up the new board within 15 s');
        }
        if (again.mark !== 'still here' || overlayMark !== 'still here') {
            fail('the page or the overlay was reloaded to pick up the new board');
        }
        if (again.rows !== drivers) {
            fail(`the new board's page shows ${again.rows} drivers, not ${drivers}`);
        }
        say(`new board on port ${port}: the page showed its run 1 (after run ${lastRun}) ` +
            `${back.took} ms after it started: "${again.line}"`);
        await shot(page, 'evening-page-back.png');
        await shot(overlay, 'evening-overlay-back.png');

        // SIGHUP, as a closed terminal sends: the board ends well, and the page says offline.
        board.kill('SIGHUP');
        const hung = await waitFor(() => page.evaluate(() =>
            lineText().startsWith('Offline since')), 5000);
        const ended = await Promise.race([board.ended, sleep(5000).then(() => null)]);
        if (!hung.value) {
            fail('5 s after SIGHUP the page does not say offline');
        }
        if (!ended || ended.code !== 0) {
            fail(`SIGHUP ended the board with ${ended ? JSON.stringify(ended) : 'nothing in 5 s'}`);
        }
        say(`SIGHUP: exit ${ended ? ended.code : '?'}, the page offline after ${hung.took} ms`);
        for (const text of refused) {
            fail(`the browser refused: ${text}`);
        }
    } finally {
        board.kill('SIGKILL');
        await close();
    }
}

main().then(() => process.exit(failures === 0 ? 0 : 1), (error) => {
    console.error(`live-evening-check: ${error.stack || error}`);
    process.exit(1);
});
