// The web view's page in headless Chromium, as a person at a coast station
// would use it, against kelvane-decode serving a real recording and one
// whose ships send markup in their texts.
//   node page-test.mjs --decoder PATH --recording WAV --hostile WAV [--screenshot PNG]
import {spawn, execFileSync} from 'node:child_process';
import {createRequire} from 'node:module';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

const require = createRequire(process.env.KELVANE_NODE_MODULES + '/');
const puppeteer = require('puppeteer-core');

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok      ' : 'FAILED  ') + what);
  if (!ok) failures++;
}

// The program serving a recording, kept up after its end; its port and
// its summary.
function serve(recording, extra) {
  return new Promise((resolve, reject) => {
    const child = spawn(args.decoder, ['--quiet', '--http', '127.0.0.1:0', '--keep-serving', ...extra, recording],
                        {stdio: ['ignore', 'ignore', 'pipe']});
    let err = '';
    const timer = setTimeout(() => reject(new Error('kelvane-decode never served: ' + err)), 20000);
    child.stderr.on('data', chunk => {
      err += chunk;
      const port = /web view on http:\/\/127\.0\.0\.1:(\d+)\//.exec(err);
      if (port && err.includes('serving the web view until interrupted')) {
        clearTimeout(timer);
        resolve({child, port: Number(port[1]), summary: err});
      }
    });
    child.on('exit', code => reject(new Error('kelvane-decode ended (' + code + '): ' + err)));
  });
}

function summaryCount(summary, name) {
  const m = new RegExp('\\n' + name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + ': (\\d+)\\n').exec('\n' + summary);
  return m ? Number(m[1]) : NaN;
}

// Everything a page does that it should not: dialogs, errors, requests that
// leave the station.
function watch(page, port) {
  const seen = {dialogs: [], errors: [], foreign: []};
  page.on('dialog', dialog => { seen.dialogs.push(dialog.message()); dialog.dismiss().catch(() => {}); });
  page.on('pageerror', error => seen.errors.push(String(error)));
  page.on('console', message => { if (message.type() === 'error') seen.errors.push(message.text()); });
  page.on('request', request => {
    if (!request.url().startsWith(`http://127.0.0.1:${port}/`) && !request.url().startsWith('data:'))
      seen.foreign.push(request.url());
  });
  return seen;
}

const profile = mkdtempSync(join(tmpdir(), 'kelvane-chromium-'));
const root = typeof process.getuid === 'function' && process.getuid() === 0;
const browser = await puppeteer.launch({
  executablePath: process.env.KELVANE_CHROMIUM,
  headless: true,
  userDataDir: profile,
  args: [...(root ? ['--no-sandbox'] : []), '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-dev-shm-usage'],
});
const servers = [];
try {
  // --- A real recording: what --json reports, the page shows ----------------
  const json = execFileSync(args.decoder, ['--json', args.recording], {stdio: ['ignore', 'pipe', 'ignore']}).toString();
  const messages = json.trim().split('\n').map(line => JSON.parse(line));
  const mmsis = [...new Set(messages.map(m => m.mmsi))].sort((a, b) => a - b);
  const positioned = new Set(messages.filter(m => typeof m.lat === 'number' && Math.abs(m.lat) <= 90).map(m => m.mmsi));

  const real = await serve(args.recording, ['--station', '60.39,5.32']);
  servers.push(real.child);
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1500});
  const seen = watch(page, real.port);
  await page.goto(`http://127.0.0.1:${real.port}/`, {waitUntil: 'load'});
  await page.waitForFunction(n => document.querySelectorAll('#vessels tbody tr').length === n, {timeout: 20000}, mmsis.length);
  await page.waitForFunction(() => document.getElementById('chart').dataset.land === 'drawn', {timeout: 20000});
  await page.waitForFunction(n => Number(document.getElementById('chart').dataset.marks) === n, {timeout: 20000}, positioned.size);

  const rows = await page.$$eval('#vessels tbody tr', trs => trs.map(tr => Number(tr.dataset.mmsi)));
  check(JSON.stringify([...rows].sort((a, b) => a - b)) === JSON.stringify(mmsis), `the list shows the MMSIs --json reports (${mmsis.join(', ')})`);
  const polygons = await page.$eval('#chart', c => Number(c.dataset.landPolygons));
  const drawn = await page.$$eval('path.land', paths => paths.filter(p => (p.getAttribute('d') || '').length > 10).length);
  check(polygons > 1000 && drawn > 0, `the chart draws the coastline (${polygons} land polygons, ${drawn} drawn here)`);
  const marks = await page.$$eval('.vessel-mark', ms => ms.length);
  check(marks === positioned.size, `a mark for each vessel with a position (${marks})`);
  const rings = await page.$$eval('path.range-ring', rs => rs.length);
  check(rings === 4, `four range rings around the station (${rings})`);
  const plotted = await page.$eval('#plot-minutes', p => Number(p.dataset.messages));
  check(plotted === messages.length, `the per-minute plot counts every message (${plotted} of ${messages.length})`);
  check(await page.$$eval('#plot-minutes canvas, #plot-level canvas', cs => cs.length >= 2 && cs.every(c => c.width > 0)),
        'the plots are drawn');
  for (const [name, id] of [['Syncs', 'syncs'], ['Valid', 'valid'], ['Errors', 'errors'], ['1, 2, 3', 'types_1_3'], ['Other', 'types_other']]) {
    const shown = Number(await page.$eval('#count-' + id, e => e.textContent));
    check(shown === summaryCount(real.summary, name), `${name} as in the summary (${shown})`);
  }
  const channels = await page.$$eval('#channels tbody tr', trs => trs.map(tr => tr.dataset.channel).join(''));
  check(channels === 'AB', `counts for channels A and B (${channels})`);

  // Sorting, filtering and a row's details.
  await page.click('#vessels th[data-key="mmsi"]');
  const sorted = await page.$$eval('#vessels tbody tr', trs => trs.map(tr => Number(tr.dataset.mmsi)));
  check(JSON.stringify(sorted) === JSON.stringify(mmsis), 'a click on MMSI sorts by it');
  await page.click('#vessels th[data-key="mmsi"]');
  const reversed = await page.$$eval('#vessels tbody tr', trs => trs.map(tr => Number(tr.dataset.mmsi)));
  check(JSON.stringify(reversed) === JSON.stringify([...mmsis].reverse()), 'a second click turns the order');
  await page.type('#filter', String(mmsis[0]));
  const filtered = await page.$$eval('#vessels tbody tr', trs => trs.map(tr => Number(tr.dataset.mmsi)));
  check(filtered.length === 1 && filtered[0] === mmsis[0], 'the filter keeps the row that mentions it');
  await page.click('#vessels tbody tr');
  await page.waitForFunction(m => document.getElementById('details').textContent.includes('mmsi: ' + m), {timeout: 10000}, mmsis[0]);
  check(true, 'a row shows every decoded field');
  await page.click('#filter', {clickCount: 3});
  await page.keyboard.press('Backspace');
  await page.waitForFunction(n => document.querySelectorAll('#vessels tbody tr').length === n, {timeout: 10000}, mmsis.length);
  if (args.screenshot) await page.screenshot({path: args.screenshot, fullPage: true});
  check(seen.dialogs.length === 0 && seen.errors.length === 0, `no dialogs or errors (${[...seen.dialogs, ...seen.errors].join('; ')})`);
  check(seen.foreign.length === 0, `nothing fetched from beyond the station (${seen.foreign.join(', ')})`);
  await page.close();

  // --- Markup in a ship's texts stays text --------------------------------------
  const hostile = await serve(args.hostile, ['--station', '60.39,5.32']);
  servers.push(hostile.child);
  const page2 = await browser.newPage();
  await page2.setViewport({width: 1400, height: 1200});
  const seen2 = watch(page2, hostile.port);
  await page2.goto(`http://127.0.0.1:${hostile.port}/`, {waitUntil: 'load'});
  await page2.waitForFunction(() => document.querySelectorAll('#vessels tbody tr').length === 2, {timeout: 20000});
  await page2.waitForFunction(() => Number(document.getElementById('chart').dataset.marks) === 2, {timeout: 20000});
  const cells = await page2.$$eval('#vessels tbody tr', trs => Object.fromEntries(trs.map(tr => [tr.dataset.mmsi,
    [...tr.children].map(td => td.textContent)])));
  check(cells['992576001'] && cells['992576001'][1] === '<IMG SRC=X ONERROR=ALERT(1)>', `the aid's name shows as that text (${cells['992576001'] && cells['992576001'][1]})`);
  check(cells['257000001'] && cells['257000001'][1] === '<SVG ONLOAD=ALERT()>', `the ship's name shows as that text (${cells['257000001'] && cells['257000001'][1]})`);
  check(cells['257000001'] && cells['257000001'][2] === '"&\'<>', 'the call sign shows as that text');
  const injected = await page2.$$eval('img, svg, script', nodes => nodes.filter(n =>
    (n.tagName === 'IMG') || (n.tagName === 'svg' && n.getAttribute('onload') !== null) || n.closest('#vessels, #details, .leaflet-tooltip-pane')).length);
  check(injected === 0, 'no element came from a ship\'s text');
  // The name on hover over its mark, and in the details.
  const mark = await page2.$('.vessel-mark[data-mmsi="992576001"]');
  await mark.hover();
  await page2.waitForSelector('.leaflet-tooltip.vessel-tip', {timeout: 10000});
  const tip = await page2.$eval('.leaflet-tooltip.vessel-tip', t => t.textContent);
  check(tip === '<IMG SRC=X ONERROR=ALERT(1)>', `the mark's name on hover is text (${tip})`);
  await page2.click('#vessels tbody tr[data-mmsi="992576001"]');
  await page2.waitForFunction(() => document.getElementById('details').textContent.includes('name: <IMG SRC=X ONERROR=ALERT(1)>'), {timeout: 10000});
  check(await page2.$eval('#details', d => d.children.length === 0), 'the details are text');
  check(await page2.evaluate(() => document.querySelectorAll('#details *, .vessel-tip span *').length === 0), 'no markup in tooltip or details');
  check(seen2.dialogs.length === 0, `no script ran: no dialogs (${seen2.dialogs.join('; ')})`);
  check(seen2.errors.length === 0, `no errors (${seen2.errors.join('; ')})`);
  check(seen2.foreign.length === 0, `nothing fetched from beyond the station (${seen2.foreign.join(', ')})`);
} catch (error) {
  check(false, String(error && error.stack || error));
} finally {
  await browser.close().catch(() => {});
  for (const child of servers) child.kill('SIGTERM');
  rmSync(profile, {recursive: true, force: true});
}
console.log(failures === 0 ? 'page test: all passed' : `page test: ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
