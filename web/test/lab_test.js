// SPDX-License-Identifier: GPL-3.0-or-later
// The lab around the device in headless Chromium, against the native tools: a pasted table reaches the
// device through its own Load (Calculate then shows the headless device's pixels), the ranking and the
// downloads are native kelvora-fit's, the screen's zoom in landscape, the first visit's downloads, an
// offline start with the lab, and a storage failure told. Run by ctest:
//   node lab_test.js PAGE_DIR KELVORA_REPLAY KELVORA_FIT
// skipped (exit 77) when the page or the driver is not built.
'use strict';
const fs = require('fs');
const path = require('path');
const {spawnSync} = require('child_process');
const native = require('./native');

const [pageDir, replay, fit] = process.argv.slice(2).map(p => path.resolve(p));
const driver = native.driverFor(pageDir, 'kelvora-fit.wasm');
const test = require('node:test');
const assert = require('node:assert');

const temporary = native.temporary;
// A spreadsheet's copy: a header, tabs, decimal commas; and the same points as a points file.
const PASTED = 'time\ttemperature\n1,5\t2,25\n2,5\t4,5\n3,5\t6,25\n4,5\t8,5\n6\t11,75\n';
const PASTED_POINTS = '5\n1.5 2.25\n2.5 4.5\n3.5 6.25\n4.5 8.5\n6 11.75\n';
// Points of a curve with some scatter, where the models rank apart (Y rises like a power of X).
const CURVE = (() => {
  const rows = [];
  for (let i = 1; i <= 12; ++i) rows.push(`${i} ${(2.5 * Math.pow(i, 1.3) * (1 + 0.03 * Math.sin(3 * i))).toFixed(4)}`);
  return `${rows.length}\n${rows.join('\n')}\n`;
})();
// HELP, Load, the name, OK by keys, as the page sends them; then Calculate.
const LOAD_BY_KEYS = name => `key F2\nkey Down\nkey Down\nkey Enter\ntype ${name}\nkey Enter\n`;
const CALCULATE = 'tap 200 269\n';

// The headless device's last screen after the script.
const runNative = (script, files) => path.join(native.runNative(replay, script, files), 'final.png');

// Native kelvora-fit on `text` saved as `name` in a folder of its own (so that "file" in its JSON is
// the page's name too): its standard output, and the files it wrote.
function nativeFit(args, name, text, outputs = []) {
  const dir = temporary();
  fs.writeFileSync(path.join(dir, name), text);
  const run = spawnSync(fit, [...args, name], {cwd: dir, encoding: 'utf8'});
  return {stdout: run.stdout, files: Object.fromEntries(outputs.map(o => [o, fs.readFileSync(path.join(dir, o))]))};
}

const shared = native.withBrowser(test, driver, pageDir);

async function pasteTable(page, text) {
  await page.click('#import');
  await page.$eval('#table-text', (box, text) => {
    box.value = text;
    box.dispatchEvent(new Event('input', {bubbles: true}));
  }, text);
  await page.waitForFunction(() => KelvoraLab.table() !== null, {timeout: 20000});
}

test('a pasted table with tabs, decimal commas and a header reaches the device through its Load', async () => {
  const page = await driver.open(shared.browser, shared.url);
  await pasteTable(page, PASTED);
  assert.match(await page.$eval('#table-message', e => e.textContent), /^5 points read\.\nreading decimal commas/);
  assert.equal(await page.$$eval('#preview tbody tr', rows => rows.length), 5);
  await page.$eval('#table-name', e => { e.value = 'pasted'; });
  await page.click('#load-table');
  await page.waitForFunction(() => /is loaded into Kelvora/.test(document.getElementById('status').textContent),
                             {timeout: 20000});
  const saved = await page.evaluate(() => new TextDecoder().decode(KelvoraPage.readDocument('pasted.dat')));
  assert.equal(saved, PASTED_POINTS);
  await driver.playScript(page, CALCULATE);
  const expected = await driver.pngPixels(page, runNative(LOAD_BY_KEYS('pasted.dat') + CALCULATE, {'pasted.dat': PASTED_POINTS}));
  assert.equal(driver.differingPixels(expected, await driver.canvasPixels(page)), 0,
               'Calculate after the lab\'s Load differs from the headless device\'s');
  await page.close();
});

test('with a dialog open the table stays in Documents and the page says so', async () => {
  const page = await driver.open(shared.browser, shared.url);
  await driver.playScript(page, 'key F2\nkey Down\nkey Down\nkey Enter\n');  // the Load picker is open
  const before = await driver.canvasPixels(page);
  await pasteTable(page, PASTED);
  await page.$eval('#table-name', e => { e.value = 'waiting'; });
  await page.click('#load-table');
  await page.waitForFunction(() => /busy with another window/.test(document.getElementById('table-message').textContent));
  assert.ok((await page.evaluate(() => KelvoraPage.documentFiles())).includes('waiting.dat'));
  assert.equal(driver.differingPixels(before, await driver.canvasPixels(page)), 0, 'the device got input');
  await page.close();
});

test('the program\'s picker keeps to Documents, the only folder the page keeps', async () => {
  const page = await driver.open(shared.browser, shared.url);
  for (const name of ['../escape.dat', '/tmp/escape.dat']) {
    await driver.playScript(page, `tap 200 307\ntap 150 282\ntype ${name}\ntap 140 279\n`);  // Save as
    assert.equal(await page.evaluate(() => KelvoraPage.activeWindow()), '#32770', `${name}: no message`);
    await driver.playScript(page, 'key Enter\nkey Escape\n');
    assert.equal(await page.evaluate(() => KelvoraPage.activeWindow()), 'KELVORA');
    assert.equal(await page.evaluate(name => Module.FS.analyzePath(`${KelvoraPage.documentsFolder()}/${name}`).exists, name),
                 false, `${name} was written`);
  }
  await page.close();
});

// The page's ranking: kelvora-fit's JSON lines and the cells of the table.
async function pageRanking(page) {
  await page.waitForFunction(() => KelvoraLab.chosen() !== null, {timeout: 30000});
  return page.evaluate(() => ({
    json: KelvoraLab.ranked().jsonLines,
    cells: [...document.querySelectorAll('#ranking tbody tr')].map(r => [...r.cells].map(c => c.textContent)),
  }));
}

// Numbers of the page's kelvora-fit and the native one: the same to 1e-9 relative. The C libraries'
// exp, log and pow differ in the last bits (the native build's exp of a block of points is glibc's
// vector exp), which 17 digits show, and the refinement's count of iterations may then differ by one
// where a convergence test tips; the printed 6 digits are compared exactly.
function assertClose(actual, expected, what) {
  if (what.endsWith('.iterations')) {
    assert.ok(Math.abs(actual - expected) <= 1, `${what}: ${actual} != ${expected}`);
  } else if (typeof expected === 'number' && typeof actual === 'number' && !Number.isInteger(expected)) {
    assert.ok(Math.abs(actual - expected) <= 1e-9 * Math.max(Math.abs(expected), 1e-300), `${what}: ${actual} != ${expected}`);
  } else if (expected !== null && typeof expected === 'object') {
    assert.deepEqual(Object.keys(actual), Object.keys(expected), what);
    for (const key of Object.keys(expected)) assertClose(actual[key], expected[key], `${what}.${key}`);
  } else {
    assert.deepEqual(actual, expected, what);
  }
}

function checkRanking(ranking, args, name, text) {
  const json = nativeFit([...args, '--all', '--json'], name, text).stdout.split('\n').filter(l => l !== '');
  assert.equal(ranking.json.length, json.length);
  ranking.json.forEach((line, i) => assertClose(JSON.parse(line), JSON.parse(json[i]), `row ${i + 1}`));
  const lines = nativeFit([...args, '--all'], name, text).stdout.split('\n').filter(l => l.startsWith('S='));
  ranking.cells.forEach((cells, i) => {
    const fitted = JSON.parse(json[i]);
    const printed = Object.fromEntries(lines[i].split(' Y=')[0].split(' ').map(p => p.split('=')));
    assert.equal(cells[0], String(fitted.model), `row ${i + 1}: K`);
    const formula = lines[i].slice(lines[i].indexOf(' Y=') + 1);
    assert.equal(cells[1], printed.N ? formula.replace(/^(\S+)/, `$1 (N=${printed.N})`) : formula, `row ${i + 1}: model`);
    assert.deepEqual(cells.slice(2), [`${printed.A} ± ${printed.se_A}`, `${printed.B} ± ${printed.se_B}`, printed.S,
                                      printed.r2, printed.aicc, printed.akaike_weight], `row ${i + 1}`);
  });
}

test('the ranking is native kelvora-fit --all\'s, plain and refined, one run after another', async () => {
  const page = await driver.open(shared.browser, shared.url);
  await pasteTable(page, PASTED);
  await page.click('#rank-table');
  checkRanking(await pageRanking(page), [], 'table.txt', PASTED);
  assert.equal(await page.$eval('#ranking caption', c => c.textContent), 'Models ranked by AICc');

  // A Documents file next, refined: nothing of the first run is left in the second.
  await page.evaluate(text => KelvoraPage.writeDocument('curve.dat', text), CURVE);
  await page.$eval('#rank-panel .close', b => b.click());
  await page.click('#rank');
  await page.select('#rank-source', 'curve.dat');
  await page.click('#rank-refine');
  await page.click('#rank-run');
  checkRanking(await pageRanking(page), ['--refine'], 'data.txt', CURVE);
  await page.close();
});

test('Download CSV and Download SVG give native kelvora-fit\'s residuals and plot', async () => {
  const page = await driver.open(shared.browser, shared.url);
  const downloads = temporary();
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.evaluate(text => KelvoraPage.writeDocument('curve.dat', text), CURVE);
  await page.click('#rank');
  await page.select('#rank-source', 'curve.dat');
  await page.click('#rank-run');
  const {json} = await pageRanking(page);
  const model = JSON.parse(json[0]).model;
  await page.click('#download-csv');
  const csv = (await driver.downloaded(downloads, `curve-model${model}-residuals.csv`)).toString();
  const native = nativeFit(['--model', String(model), '--residuals'], 'data.txt', CURVE).stdout;
  const rows = text => text.slice(text.indexOf('x,y,fitted,residual\n')).trim().split('\n').map(l => l.split(','));
  const expected = rows(native);
  assert.deepEqual(rows(csv).map(r => r.slice(0, 2)), expected.map(r => r.slice(0, 2)), 'x and y as read');
  assertClose(rows(csv).slice(1).map(r => r.slice(2).map(Number)), expected.slice(1).map(r => r.slice(2).map(Number)),
              'fitted and residual');
  await page.click('#download-svg');
  const svg = (await driver.downloaded(downloads, `curve-model${model}.svg`)).toString();
  const plot = nativeFit(['--model', String(model), '--plot', 'p.svg'], 'data.txt', CURVE, ['p.svg']).files['p.svg'].toString();
  assert.equal(svg, plot, 'the SVG differs from native kelvora-fit --plot FILE.svg');
  await page.close();
});

test('a phone in landscape gets 1.5 CSS px per screen pixel, the controls beside the screen', async () => {
  for (const [width, height, type] of [[640, 360, 'landscapePrimary'], [360, 640, 'portraitPrimary']]) {
    const page = await driver.open(shared.browser, shared.url, {width, height, touch: true, scale: 2});
    const session = await page.createCDPSession();
    await session.send('Emulation.setDeviceMetricsOverride', {width, height, deviceScaleFactor: 2, mobile: true,
                                                             screenOrientation: {type, angle: type.startsWith('land') ? 90 : 0}});
    await page.waitForFunction(w => document.getElementById('screen').width === w, {}, width > height ? 320 : 240);
    await driver.settle(page);
    const zoom = await page.evaluate(() => document.getElementById('screen').getBoundingClientRect().width /
                                           document.getElementById('screen').width);
    assert.equal(zoom, 1.5, `${width}x${height}`);
    const heights = () => page.$$eval('#bar button, dialog[open] button', buttons => buttons
      .filter(b => b.getClientRects().length).map(b => b.getBoundingClientRect().height));
    assert.ok((await heights()).every(h => h >= 44), `buttons below 44 px: ${await heights()}`);
    await pasteTable(page, PASTED);
    await page.click('#rank-table');
    await page.waitForFunction(() => KelvoraLab.chosen() !== null, {timeout: 30000});
    const lab = await heights();
    assert.ok(lab.length > 16 && lab.every(h => h >= 44), `the lab's buttons below 44 px: ${lab}`);
    const names = await page.$$eval('button, select, input, textarea', all => all.filter(e => !e.hidden)
      .filter(e => !(e.labels && e.labels.length) && !e.getAttribute('aria-label') && !e.textContent.trim()).map(e => e.id));
    assert.deepEqual(names, [], 'controls without an accessible name');
    await page.close();
  }
});

test('the first visit downloads each file once, and the page starts offline with the lab', async () => {
  const context = await shared.browser.createBrowserContext();
  const page = await context.newPage();
  shared.server.bodies = {};
  await page.goto(shared.url, {waitUntil: 'load'});
  await driver.settle(page);
  await page.evaluate(() => navigator.serviceWorker.ready);
  await page.waitForFunction(async () => (await caches.keys()).length > 0 &&
                             (await (await caches.open((await caches.keys())[0])).keys()).length >= 13, {timeout: 30000});
  for (const name of ['kelvora.wasm', 'kelvora.data', 'kelvora.js', 'kelvora-fit.wasm'])
    assert.equal(shared.server.bodies[name], 1, `${name} sent ${shared.server.bodies[name]} times`);
  await page.setOfflineMode(true);
  await page.reload({waitUntil: 'load'});
  await driver.settle(page);
  const run = await page.evaluate(async () => {
    const r = await KelvoraLab.runFit(['--list-models']);
    return {status: r.status, lines: r.stdout.split('\n').filter(l => l !== '').length};
  });
  assert.deepEqual(run, {status: 0, lines: 16});
  await context.close();
});

test('storage that fails is told, and stays told', async () => {
  const page = await shared.browser.newPage();
  await page.evaluateOnNewDocument(() => {
    indexedDB.open = () => { throw new DOMException('The quota has been exceeded.', 'QuotaExceededError'); };
  });
  await page.goto(shared.url, {waitUntil: 'load'});
  await driver.settle(page);
  const alert = await page.$eval('#storage-alert', e => ({hidden: e.hidden, text: e.textContent}));
  assert.equal(alert.hidden, false);
  assert.match(alert.text, /storage cannot be read.*download them/s);
  await page.evaluate(() => KelvoraPage.writeDocument('x.dat', '1\n1 1\n'));
  await page.waitForFunction(() => KelvoraPage.stored());
  assert.match(await page.$eval('#storage-alert', e => e.textContent), /could not be stored/);
  await page.close();
});
