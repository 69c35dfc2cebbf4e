// SPDX-License-Identifier: GPL-3.0-or-later
// Serves the built page on the loopback: node serve.js DIR PORT (scripts/web.sh uses port 8000).
'use strict';
const {serve} = require('./server');

const [dir, port = '8000'] = process.argv.slice(2);
serve(dir, Number(port)).then(({url}) => {
  process.stdout.write(`Kelvora is served on ${url} (Ctrl+C stops it)\n`);
}, error => {
  process.stderr.write(`cannot serve on 127.0.0.1:${port}: ${error.message}\n`);
  process.exit(1);
});
