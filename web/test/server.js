// A static server for the built page, on the loopback only; no package beyond node itself.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png', '.webmanifest': 'application/manifest+json',
};

// Serves the files of `root` (nothing outside it) on 127.0.0.1; port 0 takes a free one.
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
      response.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                               'Cache-Control': 'no-cache'});
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve({server, url: `http://127.0.0.1:${server.address().port}/`}));
  });
}

module.exports = {serve};
