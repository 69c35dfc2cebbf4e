// SPDX-License-Identifier: GPL-3.0-or-later
// scripts/web.sh test SCRIPT OUT.png: plays a kelvora-replay script on the built page in headless
// Chromium and writes the canvas's final pixels (1x) to OUT.png. "shot" lines write the canvas too and
// "pixel" reads it; the other queries are kelvora-replay's alone. Exits like kelvora-replay: 0 when the
// script ran to its end, 1 on a malformed line, 3 when the program ended before the script did.
'use strict';
const fs = require('fs');
const driver = require('./driver');

async function main() {
  const [pageDir, scriptFile, outFile] = process.argv.slice(2);
  const script = fs.readFileSync(scriptFile, 'utf8');
  const {server, url} = await driver.serve(pageDir);
  const browser = await driver.launch();
  try {
    const page = await driver.open(browser, url);
    const result = await driver.playScript(page, script);
    process.stdout.write(result.printed);
    fs.writeFileSync(outFile, await driver.canvasPng(page));
    if (result.ended) {
      process.stderr.write(`the program ended at line ${result.line}, before the script did\n`);
      return 3;
    }
    return 0;
  } catch (error) {
    if (error instanceof driver.ScriptError) {
      process.stderr.write(`${scriptFile}: ${error.message}\n`);
      return 1;
    }
    throw error;
  } finally {
    await browser.close();
    server.close();
  }
}

main().then(code => process.exit(code), error => {
  process.stderr.write(`${error.stack || error}\n`);
  process.exit(1);
});
