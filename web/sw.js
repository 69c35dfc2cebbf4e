// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the page's files so that it starts without a network after the first visit. The cache's name
// carries a digest of the files (written at build time): a new build replaces the old cache whole.
'use strict';
const CACHE = 'kelvora-@PAGE_VERSION@';
const FILES = ['./', 'index.html', 'page.js', 'lab.js', 'page.css', 'kelvora.js', 'kelvora.wasm', 'kelvora.data',
               'kelvora-fit.js', 'kelvora-fit.wasm', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png'];

// The page registers this worker once the program runs, so the files it fetched are in the browser's
// cache by then: their requests are answered after a check with the server ("not modified") instead
// of a second download. kelvora-fit's module, which the page fetches only when the lab is used, is
// fetched here.
self.addEventListener('install', event => {
  event.waitUntil(caches.open(CACHE).then(cache => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', event => {
  event.waitUntil(caches.keys()
    .then(names => Promise.all(names.filter(n => n.startsWith('kelvora-') && n !== CACHE).map(n => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The page's own files come from the cache; anything else goes to the network as usual.
self.addEventListener('fetch', event => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE).then(cache =>
    cache.match(event.request, {ignoreSearch: true}).then(hit => hit || fetch(event.request))));
});
