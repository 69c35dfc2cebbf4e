// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests share: their start (skipped, exit 77, when the page or the driver is not
// built), temporary folders, and the headless device run natively beside the page.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {execFileSync} = require('child_process');

// The test driver, or an exit saying why the test is skipped.
function driverFor(pageDir, needed = 'index.html') {
  if (!pageDir || !fs.existsSync(path.join(pageDir, needed))) {
    console.log(`skipped: no page with ${needed} built in ${pageDir} (scripts/web.sh build makes it)`);
    process.exit(77);
  }
  try {
    return require('./driver');
  } catch (error) {
    console.log('skipped: the test driver is not installed (npm ci in web/test; scripts/web.sh test does it)');
    process.exit(77);
  }
}

const temporary = () => fs.mkdtempSync(path.join(os.tmpdir(), 'kelvora-web-test-'));

// Runs kelvora-replay on the script in a folder of its own (HOME there too, Documents holding `files`),
// with a last shot "final.png"; returns the folder.
function runNative(replay, script, files = {}) {
  const dir = temporary();
  fs.mkdirSync(path.join(dir, 'Documents'));
  for (const [name, text] of Object.entries(files)) fs.writeFileSync(path.join(dir, 'Documents', name), text);
  fs.writeFileSync(path.join(dir, 'script.replay'), `${script}\nshot final.png\n`);
  execFileSync(replay, ['script.replay'], {cwd: dir, env: {...process.env, HOME: dir, XDG_CONFIG_HOME: dir},
                                           stdio: ['ignore', 'ignore', 'inherit']});
  return dir;
}

// The page served and a browser for the tests of the file: .url, .server and .browser.
function withBrowser(test, driver, pageDir) {
  const session = {};
  test.before(async () => {
    ({server: session.server, url: session.url} = await driver.serve(pageDir));
    session.browser = await driver.launch();
  });
  test.after(async () => {
    await session.browser.close();
    session.server.close();
  });
  return session;
}

module.exports = {driverFor, temporary, runNative, withBrowser};
