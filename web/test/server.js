// SPDX-License-Identifier: GPL-3.0-or-later
// A static server for the built page, on the loopback only; no package beyond node itself.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png', '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json',
};

// Serves the files of `root` (nothing outside it) on 127.0.0.1; port 0 takes a free one. server.bodies
// counts the whole files sent, so a test can tell a download from a check that found the file unchanged.
function serve(root, port = 0) {
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch (error) {
      response.writeHead(400).end();
      return;
    }
    const base = path.resolve(root);
    const file = path.resolve(base, `.${name.endsWith('/') ? `${name}index.html` : name}`);
    if (!file.startsWith(base + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      // A validator, as static servers give one: the browser's checks of a cached file cost no body.
      const tag = `"${crypto.createHash('sha1').update(data).digest('hex')}"`;
      const served = path.relative(base, file);
      if (request.headers['if-none-match'] === tag) {
        response.writeHead(304, {'ETag': tag, 'Cache-Control': 'no-cache'}).end();
        return;
      }
      server.bodies[served] = (server.bodies[served] || 0) + 1;
      response.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                               'Cache-Control': 'no-cache', 'ETag': tag});
      response.end(data);
    });
  });
  server.bodies = {};  // how many times each file was sent whole, by its path in root
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve({server, url: `http://127.0.0.1:${server.address().port}/`}));
  });
}

module.exports = {serve};
