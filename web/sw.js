// Keeps the page's files so that it starts without a network after the first visit. The cache's name
// carries a digest of the files (written at build time): a new build replaces the old cache whole.
'use strict';
const CACHE = 'kelvora-@PAGE_VERSION@';
const FILES = ['./', 'index.html', 'page.js', 'page.css', 'kelvora.js', 'kelvora.wasm', 'kelvora.data',
               'manifest.webmanifest', 'icon-192.png', 'icon-512.png'];

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
