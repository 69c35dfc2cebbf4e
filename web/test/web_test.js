// SPDX-License-Identifier: GPL-3.0-or-later
// The page in a real browser (headless Chromium): replay scripts give the headless device's pixels, touch
// alone completes the stylus-only script on a phone-sized screen, Documents survives a reload, Load and
// Save go through the program's picker with upload and download around them, and an idle page draws
// nothing. Run by ctest: node web_test.js PAGE_DIR KELVORA_REPLAY EXAMPLES_DIR; skipped (exit 77) when
// the page or the driver is not built.
'use strict';
const fs = require('fs');
const path = require('path');
const native = require('./native');

const [pageDir, replay, examples] = process.argv.slice(2);
const driver = native.driverFor(pageDir);
const test = require('node:test');
const assert = require('node:assert');

const THREE_POINTS = '3\n1 3\n2 5\n3 7\n';
const temporary = native.temporary;
const runNative = (script, files) => native.runNative(replay, script, files);

const shared = native.withBrowser(test, driver, pageDir);

// Plays the script in the page with shots into a folder of its own and a last shot "final.png", and
// checks every shot against the headless device's of the same name: 0 pixels may differ.
async function playAndCompare(page, script, native, options = {}) {
  const shots = temporary();
  const result = await driver.playScript(page, `${script}\nshot final.png\n`, {...options, shots});
  assert.equal(result.ended, false, 'the program ended before the script did');
  const names = fs.readdirSync(native).filter(n => n.endsWith('.png'));
  assert.ok(names.includes('final.png'));
  for (const name of names) {
    const expected = await driver.pngPixels(page, path.join(native, name));
    const actual = await driver.pngPixels(page, path.join(shots, name));
    assert.equal(driver.differingPixels(expected, actual), 0, `${name}: pixels differ from the headless device's`);
  }
  return names.length;
}

test('the demo and panel scripts leave the headless device\'s pixels in the canvas', async t => {
  for (const name of ['demo.replay', 'panel.replay']) {
    await t.test(name, async () => {
      const script = fs.readFileSync(path.join(examples, name), 'utf8');
      const page = await driver.open(shared.browser, shared.url);
      assert.ok(await playAndCompare(page, script, runNative(script)) >= 2);
      await page.close();
    });
  }
});

test('at a 360x640 touch screen the stylus-only script completes with taps alone', async () => {
  const script = fs.readFileSync(path.join(examples, 'panel.replay'), 'utf8');
  const page = await driver.open(shared.browser, shared.url, {width: 360, height: 640, touch: true, scale: 2});
  const zoom = await page.evaluate(() => document.getElementById('screen').getBoundingClientRect().width / 240);
  assert.equal(zoom * 2 % 1, 0, 'the canvas is not at a whole number of device pixels per screen pixel');
  await playAndCompare(page, script, runNative(script), {touch: true});
  await page.close();
});

test('an idle page draws nothing and its program does not wake', async () => {
  const page = await driver.open(shared.browser, shared.url);
  await driver.playScript(page, 'tap 40 56\ntype 12\n');
  const before = await page.evaluate(() => ({...KelvoraPage.stats}));
  await new Promise(resolve => setTimeout(resolve, 2000));
  const after = await page.evaluate(() => ({...KelvoraPage.stats}));
  assert.equal(after.frames, before.frames, 'frames drawn while idle');
  assert.equal(after.waits, before.waits, 'the program woke while idle');
  // A change of the screen is drawn once.
  await driver.playScript(page, 'type 3\n');
  assert.equal(await page.evaluate(() => KelvoraPage.stats.frames), after.frames + 1);
  await page.close();
});

// HELP, "Load the data from the file", the name, OK (typed: the page's picker has no way up out of
// Documents, the native one has, so their rows differ); then HELP, "Save the data to the file", the
// name, OK; then Calculate.
const LOAD = name => `tap 200 307\ntap 150 262\ntype ${name}\ntap 140 279\n`;
const SAVE_AS = name => `tap 200 307\ntap 150 282\ntype ${name}\ntap 140 279\n`;
const CALCULATE = 'tap 200 269\n';

async function stored(page) {
  await (await page.waitForFunction(() => KelvoraPage.stored(), {timeout: 10000})).dispose();
}

test('Documents: upload, Load and Save in the picker, a reload keeps the files, download gives them back', async () => {
  const dir = temporary();
  fs.writeFileSync(path.join(dir, 'three.dat'), THREE_POINTS);
  const page = await driver.open(shared.browser, shared.url);
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
  await chooser.accept([path.join(dir, 'three.dat')]);
  await page.waitForFunction(() => KelvoraPage.documentFiles().includes('three.dat'));
  await stored(page);

  await driver.playScript(page, LOAD('three.dat'));
  assert.equal(await page.evaluate(() => KelvoraPage.unsaved()), true, 'loaded points count as unsaved work');
  await driver.playScript(page, SAVE_AS('kept.dat'));
  await stored(page);
  assert.equal(await page.evaluate(() => KelvoraPage.unsaved()), false, 'a save leaves nothing unsaved');

  await page.reload({waitUntil: 'load'});
  await driver.settle(page);
  assert.deepEqual(await page.evaluate(() => KelvoraPage.documentFiles()), ['kept.dat', 'three.dat']);
  const kept = await page.evaluate(() => Module.FS.readFile(`${KelvoraPage.documentsFolder()}/kept.dat`,
                                                             {encoding: 'utf8'}));
  assert.equal(kept, THREE_POINTS);

  // The kept file loads through the picker after the reload, and its fit is the headless device's.
  const script = LOAD('kept.dat') + CALCULATE;
  await playAndCompare(page, script, runNative(script, {'kept.dat': THREE_POINTS, 'three.dat': THREE_POINTS}));

  // Download from the Documents list.
  const downloads = temporary();
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.click('#files');
  const buttons = await page.$$('#file-list button');
  assert.equal(buttons.length, 2);
  await buttons[0].click();
  assert.equal((await driver.downloaded(downloads, 'kept.dat')).toString(), THREE_POINTS);
  await page.close();
});

test('leaving with unsaved points asks first; without, it does not', async () => {
  const dir = temporary();
  fs.writeFileSync(path.join(dir, 'other.dat'), THREE_POINTS);
  // An upload after typing is not a save of what was typed.
  for (const [script, upload, asks] of [['', false, false], ['tap 40 56\ntype 4\n', false, true],
                                        ['tap 40 56\ntype 4\n', true, true], ['rotate\n', false, false]]) {
    const page = await driver.open(shared.browser, shared.url);
    await driver.playScript(page, script);
    if (upload) {
      const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
      await chooser.accept([path.join(dir, 'other.dat')]);
      await page.waitForFunction(() => KelvoraPage.documentFiles().includes('other.dat'));
      await driver.playScript(page, 'rotate\n');  // the program wakes and sees the new file
      await stored(page);
    }
    let asked = false;
    page.on('dialog', dialog => {
      asked = dialog.type() === 'beforeunload';
      dialog.accept();
    });
    await page.close({runBeforeUnload: true});
    await new Promise(resolve => setTimeout(resolve, 300));
    assert.equal(asked, asks, `${JSON.stringify(script)}${upload ? ' and an upload' : ''}`);
  }
});

test('a phone turned to landscape turns the screen, as the rotate line does', async () => {
  const page = await driver.open(shared.browser, shared.url, {width: 360, height: 640, touch: true, scale: 2});
  const session = await page.createCDPSession();
  await session.send('Emulation.setDeviceMetricsOverride', {
    width: 640, height: 360, deviceScaleFactor: 2, mobile: true, screenOrientation: {type: 'landscapePrimary', angle: 90}});
  await page.waitForFunction(() => document.getElementById('screen').width === 320);
  await driver.settle(page);
  const turned = await driver.pngPixels(page, path.join(runNative('rotate'), 'final.png'));
  assert.equal(driver.differingPixels(turned, await driver.canvasPixels(page)), 0);
  // Touch still lands on the right pixels: the input panel's button in the landscape menu bar.
  await playAndCompare(page, 'tap 160 227', runNative('rotate\ntap 160 227'), {touch: true});
  await page.close();
});

test('the page is installable and starts offline after its first visit', async () => {
  const context = await shared.browser.createBrowserContext();
  const page = await context.newPage();
  await page.goto(shared.url, {waitUntil: 'load'});
  await driver.settle(page);
  const session = await page.createCDPSession();
  const manifest = await session.send('Page.getAppManifest');
  assert.deepEqual(manifest.errors, []);
  assert.match(manifest.data, /"icon-512.png"/);
  await page.evaluate(() => navigator.serviceWorker.ready);
  await page.setOfflineMode(true);
  await page.reload({waitUntil: 'load'});
  await driver.settle(page);
  assert.ok(await page.evaluate(() => KelvoraPage.stats.frames) > 0, 'no frame offline');
  await context.close();
});
