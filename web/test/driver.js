// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the Kelvora page in headless Chromium (Debian's chromium through puppeteer-core): a static
// server on the loopback, a fresh browser profile, kelvora-replay scripts played as real pointer, touch
// and key events, and the canvas read back.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {serve} = require('./server');

const CHROMIUM = process.env.KELVORA_CHROMIUM || '/usr/bin/chromium';

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

// Waits until the program waits for input with none queued (or has ended); true when it has ended.
async function settle(page) {
  const handle = await page.waitForFunction(
    () => (KelvoraPage.isIdle() && KelvoraPage.stats.frames > 0) || KelvoraPage.ended(), {timeout: 60000, polling: 10});
  await handle.dispose();
  return page.evaluate(() => KelvoraPage.ended());
}

async function open(browser, url, {width = 480, height = 720, touch = false, scale = 1} = {}) {
  const page = await browser.newPage();
  page.on('pageerror', error => process.stderr.write(`page error: ${error.message}\n`));
  await page.setViewport({width, height, deviceScaleFactor: scale, isMobile: touch, hasTouch: touch});
  await page.goto(url, {waitUntil: 'load'});
  await settle(page);
  return page;
}

// Where screen pixel (x, y) is on the page, in CSS pixels: the middle of that pixel.
async function screenPoint(page, x, y) {
  return page.evaluate((x, y) => {
    const canvas = document.getElementById('screen');
    const r = canvas.getBoundingClientRect();
    return [r.left + (x + 0.5) * r.width / canvas.width, r.top + (y + 0.5) * r.height / canvas.height];
  }, x, y);
}

async function canvasPixels(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    return {width: canvas.width, height: canvas.height, rgba: Array.from(data)};
  });
}

async function canvasPng(page) {
  const url = await page.evaluate(() => document.getElementById('screen').toDataURL('image/png'));
  return Buffer.from(url.slice(url.indexOf(',') + 1), 'base64');
}

// Pixels of a PNG file, decoded by the browser: {width, height, rgba}.
async function pngPixels(page, file) {
  const data = fs.readFileSync(file).toString('base64');
  return page.evaluate(async data => {
    const bytes = Uint8Array.from(atob(data), c => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/png'}), {colorSpaceConversion: 'none',
                                                                                     premultiplyAlpha: 'none'});
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    return {width: bitmap.width, height: bitmap.height,
            rgba: Array.from(context.getImageData(0, 0, bitmap.width, bitmap.height).data)};
  }, data);
}

function differingPixels(a, b) {
  if (a.width !== b.width || a.height !== b.height) return a.width * a.height + b.width * b.height;
  let count = 0;
  for (let i = 0; i < a.rgba.length; i += 4)
    if (a.rgba[i] !== b.rgba[i] || a.rgba[i + 1] !== b.rgba[i + 1] || a.rgba[i + 2] !== b.rgba[i + 2]) ++count;
  return count;
}

const KEYS = {
  Enter: 'Enter', Escape: 'Escape', Tab: 'Tab', Space: 'Space', Backspace: 'Backspace', Delete: 'Delete',
  Left: 'ArrowLeft', Right: 'ArrowRight', Up: 'ArrowUp', Down: 'ArrowDown', Home: 'Home', End: 'End',
  F1: 'F1', F2: 'F2', F9: 'F9',
};
const QUERIES = new Set(['state', 'point', 'windows', 'text', 'sip', 'controls']);

class ScriptError extends Error {}

async function tapAt(page, x, y, touch) {
  if (touch) await page.touchscreen.tap(x, y);
  else await page.mouse.click(x, y);
}

// Plays one script line; returns what it prints (pixel queries) or ''.
async function playLine(page, line, number, {touch = false, shots = '.'} = {}) {
  const text = line.trim();
  if (text === '' || text.startsWith('#')) return '';
  const [word] = text.split(/\s+/, 1);
  const rest = text.slice(word.length).replace(/^\s/, '');
  const numbers = rest.split(/\s+/).map(Number);
  const needNumbers = count => {
    if (numbers.length !== count || numbers.some(n => !Number.isInteger(n)))
      throw new ScriptError(`line ${number}: ${word} takes ${count} whole numbers`);
  };
  switch (word) {
  case 'tap': {
    needNumbers(2);
    const [x, y] = await screenPoint(page, numbers[0], numbers[1]);
    await tapAt(page, x, y, touch);
    break;
  }
  case 'drag': {
    needNumbers(4);
    const [x1, y1] = await screenPoint(page, numbers[0], numbers[1]);
    const [x2, y2] = await screenPoint(page, numbers[2], numbers[3]);
    if (touch) {
      await page.touchscreen.touchStart(x1, y1);
      for (let i = 1; i <= 4; ++i) await page.touchscreen.touchMove(x1 + (x2 - x1) * i / 4, y1 + (y2 - y1) * i / 4);
      await page.touchscreen.touchEnd();
    } else {
      await page.mouse.move(x1, y1);
      await page.mouse.down();
      await page.mouse.move(x2, y2, {steps: 4});
      await page.mouse.up();
    }
    break;
  }
  case 'type': await page.keyboard.type(rest); break;
  case 'key': {
    const ctrl = /^Ctrl\+([A-Za-z])$/.exec(rest);
    if (ctrl) {
      await page.keyboard.down('Control');
      await page.keyboard.press(`Key${ctrl[1].toUpperCase()}`);
      await page.keyboard.up('Control');
    } else if (KEYS[rest]) {
      await page.keyboard.press(KEYS[rest]);
    } else {
      throw new ScriptError(`line ${number}: unknown key ${rest}`);
    }
    break;
  }
  case 'rotate': {
    const button = await page.$('#rotate');
    if (touch) {
      const box = await button.boundingBox();
      await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
    } else {
      await button.click();
    }
    await button.dispose();
    break;
  }
  case 'shot': fs.writeFileSync(path.resolve(shots, rest), await canvasPng(page)); break;
  case 'pixel': {
    needNumbers(2);
    const {width, height, rgba} = await canvasPixels(page);
    const [x, y] = numbers;
    if (x < 0 || y < 0 || x >= width || y >= height) return '255 255 255\n';
    const i = (y * width + x) * 4;
    return `${rgba[i]} ${rgba[i + 1]} ${rgba[i + 2]}\n`;
  }
  default:
    if (QUERIES.has(word)) {
      process.stderr.write(`line ${number}: "${word}" is answered only by kelvora-replay; skipped\n`);
      return '';
    }
    throw new ScriptError(`line ${number}: unknown command ${word}`);
  }
  if (await settle(page)) return null;
  return '';
}

// Plays a whole script; returns {printed, ended, line} (ended: the program ended at that line).
async function playScript(page, script, options = {}) {
  const lines = script.split('\n');
  let printed = '';
  for (let i = 0; i < lines.length; ++i) {
    const out = await playLine(page, lines[i], i + 1, options);
    if (out === null) {
      const left = lines.slice(i + 1).filter(l => l.trim() !== '' && !l.trim().startsWith('#'));
      return {printed, ended: left.length > 0, line: i + 1};
    }
    printed += out;
  }
  return {printed, ended: false};
}

// The contents of a download to folder once it is complete. Chromium reserves the name with an empty
// file and writes into NAME.crdownload until the end, so the name alone does not say it is done.
async function downloaded(folder, name) {
  const file = path.join(folder, name);
  const done = () => fs.existsSync(file) && fs.statSync(file).size > 0 &&
                     !fs.readdirSync(folder).some(entry => entry.endsWith('.crdownload'));
  for (let i = 0; i < 200 && !done(); ++i) await new Promise(resolve => setTimeout(resolve, 50));
  return fs.readFileSync(file);
}

module.exports = {serve, launch, open, settle, playScript, playLine, canvasPixels, canvasPng, pngPixels,
                  differingPixels, screenPoint, downloaded, ScriptError};
