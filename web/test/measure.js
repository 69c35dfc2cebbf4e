// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the page in headless Chromium and prints one line per figure: its size gzipped, the time from
// navigation to the first frame, the CPU an idle page uses, Calculate on 100,000 loaded points against
// kelvora-replay (the native headless device) in the same run, and the lab's "Fit all models" on 1,000
// points. Medians of several runs.
//   node measure.js PAGE_DIR KELVORA_REPLAY
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const {execFileSync} = require('child_process');
const driver = require('./driver');

const [pageDir, replayArgument] = process.argv.slice(2);
const replay = path.resolve(replayArgument);
const median = values => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const LOAD_MANY = 'tap 200 307\ntap 150 262\ntype many.dat\ntap 140 279\n';
const CALCULATE = 'tap 200 269\n';

function sizes() {
  let total = 0;
  for (const name of fs.readdirSync(pageDir).sort()) {
    const data = fs.readFileSync(path.join(pageDir, name));
    const packed = zlib.gzipSync(data, {level: 9}).length;
    total += packed;
    console.log(`size ${name}: ${data.length} bytes, ${packed} gzipped`);
  }
  console.log(`size of the page, gzipped: ${(total / 1048576).toFixed(2)} MiB`);
}

function pointsFile(count) {
  const lines = [String(count)];
  for (let i = 0; i < count; ++i) {
    const x = 1 + i / 1000;
    lines.push(`${x} ${(1 + 2 * x + Math.sin(i) * 0.01).toPrecision(12)}`);
  }
  return `${lines.join('\n')}\n`;
}

// Seconds kelvora-replay takes for the script, in a folder whose Documents holds the points file.
function nativeSeconds(dir, script) {
  fs.writeFileSync(path.join(dir, 's.replay'), script);
  const start = process.hrtime.bigint();
  execFileSync(replay, ['s.replay'], {cwd: dir, env: {...process.env, HOME: dir, XDG_CONFIG_HOME: dir},
                                      stdio: 'ignore'});
  return Number(process.hrtime.bigint() - start) / 1e9;
}

async function main() {
  sizes();
  const {server, url} = await driver.serve(pageDir);
  const browser = await driver.launch();
  try {
    const firstFrames = [];
    for (let i = 0; i < 5; ++i) {
      const context = await browser.createBrowserContext();  // nothing cached, no service worker yet
      const page = await context.newPage();
      await page.goto(url, {waitUntil: 'load'});
      await driver.settle(page);
      firstFrames.push(await page.evaluate(() => KelvoraPage.stats.firstFrame));
      await context.close();
    }
    console.log(`navigation to the first frame: median ${median(firstFrames).toFixed(0)} ms of ` +
                `${firstFrames.map(t => t.toFixed(0)).join(', ')}`);

    // Main-thread task time over 5 s of an idle page, against an empty page measured the same way (the
    // browser's own housekeeping and the measurement itself), after the service worker has settled.
    const idleTaskSeconds = async page => {
      const session = await page.createCDPSession();
      await session.send('Performance.enable');
      const taskSeconds = async () => (await session.send('Performance.getMetrics')).metrics
        .find(m => m.name === 'TaskDuration').value;
      await new Promise(resolve => setTimeout(resolve, 2000));
      const before = await taskSeconds();
      await new Promise(resolve => setTimeout(resolve, 5000));
      return await taskSeconds() - before;
    };
    const blank = await browser.newPage();
    await blank.goto('about:blank');
    const blankBusy = await idleTaskSeconds(blank);
    await blank.close();
    const page = await driver.open(browser, url);
    const framesBefore = await page.evaluate(() => KelvoraPage.stats.frames + KelvoraPage.stats.waits);
    const busy = await idleTaskSeconds(page);
    const woke = await page.evaluate(() => KelvoraPage.stats.frames + KelvoraPage.stats.waits) - framesBefore;
    console.log(`CPU of the idle page: ${(busy * 1000).toFixed(1)} ms of main-thread tasks in 5 s, an empty ` +
                `page ${(blankBusy * 1000).toFixed(1)} ms; frames drawn and wake-ups of the program: ${woke}`);

    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-measure-'));
    fs.mkdirSync(path.join(dir, 'Documents'));
    const file = path.join(dir, 'Documents', 'many.dat');
    fs.writeFileSync(file, pointsFile(100000));
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open')]);
    await chooser.accept([file]);
    await page.waitForFunction(() => KelvoraPage.documentFiles().includes('many.dat'));
    const browserTimes = [], nativeTimes = [];
    for (let i = 0; i < 5; ++i) {
      await driver.playScript(page, LOAD_MANY);
      await driver.playScript(page, CALCULATE);
      browserTimes.push(await page.evaluate(() => KelvoraPage.stats.idleAt - KelvoraPage.stats.wokeAt));
      await driver.playScript(page, 'key F1\n');  // back to the main window
    }
    // Natively, a script with Calculate against the same script without it: the difference is noisy,
    // so more runs.
    for (let i = 0; i < 11; ++i)
      nativeTimes.push((nativeSeconds(dir, LOAD_MANY + CALCULATE) - nativeSeconds(dir, LOAD_MANY)) * 1000);
    console.log(`Calculate on 100,000 points (fit and the results window's paint): page median ` +
                `${median(browserTimes).toFixed(1)} ms, native kelvora-replay median ${median(nativeTimes).toFixed(1)} ms ` +
                `(page ${browserTimes.map(t => t.toFixed(0)).join(', ')}; native ${nativeTimes.map(t => t.toFixed(0)).join(', ')})`);
    fs.rmSync(dir, {recursive: true, force: true});

    // "Fit all models" of the lab on 1,000 points: kelvora-fit --all, --json and text, in fresh
    // instances; the first run also fetches and compiles kelvora-fit's module.
    await page.evaluate(text => KelvoraPage.writeDocument('thousand.dat', text), pointsFile(1000));
    const rankTimes = [];
    for (const refine of [false, true]) {
      const times = [];
      for (let i = 0; i < 6; ++i) {
        await page.evaluate(async refine => {
          if (!document.getElementById('rank-panel').open) document.getElementById('rank').click();
          document.getElementById('rank-source').value = 'thousand.dat';
          document.getElementById('rank-refine').checked = refine;
          document.getElementById('rank-run').click();
        }, refine);
        await page.waitForFunction(() => KelvoraLab.chosen() !== null, {timeout: 60000});
        times.push(await page.evaluate(() => KelvoraLab.stats.rankMs));
      }
      rankTimes.push(`${refine ? 'least squares on Y' : 'linearised'}: median ${median(times.slice(1)).toFixed(1)} ms ` +
                     `(first ${times[0].toFixed(0)}; ${times.slice(1).map(t => t.toFixed(0)).join(', ')})`);
    }
    console.log(`"Fit all models" on 1,000 points, ${rankTimes.join('; ')}`);
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch(error => {
  process.stderr.write(`${error.stack || error}\n`);
  process.exit(1);
});
