// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the page and its lab at phone size (360x640 portrait, 640x360 landscape, two device
// pixels to a CSS pixel) for the README: node screens.js PAGE_DIR OUT_DIR
'use strict';
const path = require('path');
const driver = require('./driver');

const TABLE = 'distance\tspeed\tσ\n0,5\t1,61\t0,05\n1\t2,93\t0,08\n1,5\t4,02\t0,1\n2\t5,31\t0,12\n2,5\t6,1\t0,15\n' +
              '3\t7,24\t0,16\n3,5\t7,93\t0,2\n4\t8,71\t0,2\n';

async function shoot(browser, url, out, width, height, name) {
  const page = await driver.open(browser, url, {width, height, touch: true, scale: 2});
  const session = await page.createCDPSession();
  const landscape = width > height;
  await session.send('Emulation.setDeviceMetricsOverride', {
    width, height, deviceScaleFactor: 2, mobile: true,
    screenOrientation: {type: landscape ? 'landscapePrimary' : 'portraitPrimary', angle: landscape ? 90 : 0}});
  await page.waitForFunction(w => document.getElementById('screen').width === w, {}, landscape ? 320 : 240);
  await driver.settle(page);
  const picture = async what => page.screenshot({path: path.join(out, `lab-${what}-${name}.png`)});
  await picture('page');
  await page.click('#import');
  await page.$eval('#table-text', (box, text) => {
    box.value = text;
    box.dispatchEvent(new Event('input', {bubbles: true}));
  }, TABLE);
  await page.waitForFunction(() => KelvoraLab.table() !== null, {timeout: 20000});
  await page.select('#column-sigma', '3');
  await page.waitForFunction(() => KelvoraLab.table() !== null && KelvoraLab.table().sigma, {timeout: 20000});
  await picture('import');
  await page.click('#rank-table');
  await page.waitForFunction(() => KelvoraLab.chosen() !== null, {timeout: 30000});
  await page.evaluate(() => document.getElementById('rank-panel').scrollTo(0, 0));
  await picture('rank');
  await page.evaluate(() => document.getElementById('chosen').scrollIntoView());
  await picture('report');
  await page.close();
}

async function main() {
  const [pageDir, out] = process.argv.slice(2);
  const {server, url} = await driver.serve(pageDir);
  const browser = await driver.launch();
  try {
    await shoot(browser, url, out, 360, 640, 'portrait');
    await shoot(browser, url, out, 640, 360, 'landscape');
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch(error => {
  process.stderr.write(`${error.stack || error}\n`);
  process.exit(1);
});
