// SPDX-License-Identifier: GPL-3.0-or-later
// The page around the device: the canvas at a whole-number zoom, the pointer, keys and rotation as the
// device's input, Documents in the browser's storage with upload and download, input sent for the lab
// (web/lab.js) as a person would type it, and the hooks the browser tests read (KelvoraPage.stats,
// KelvoraPage.isIdle). The program's side is platform/src/backends/browser/browser_backend.cpp.
'use strict';

const KelvoraPage = (() => {
  // Event kinds, as the backend numbers them.
  const DOWN = 1, MOVE = 2, UP = 3, KEY_DOWN = 4, KEY_UP = 5, CHAR = 6, ROTATE = 7;
  const MAX_UPLOAD = 64 * 1024 * 1024;

  const canvas = document.getElementById('screen');
  const context = canvas.getContext('2d', {alpha: false});
  const stage = document.getElementById('stage');
  const statusLine = document.getElementById('status');
  const storageAlert = document.getElementById('storage-alert');
  const queue = [];
  let wake = null;            // resolves the program's wait
  let image = null;
  let pointerId = null;
  let running = false;
  let ended = false;
  let unsavedInput = false;   // input since the last change of Documents (a save)
  const keysDown = new Set();
  let fs = null, documents = null;
  let syncing = false, syncAgain = false;

  // What the browser tests read: frames drawn, waits of the program, time of the first frame, when the
  // program last woke for input and last went idle (milliseconds since the navigation).
  const stats = {frames: 0, waits: 0, firstFrame: null, syncs: 0, wokeAt: 0, idleAt: 0};

  function say(text) { statusLine.textContent = text; }

  // A failure of the browser's storage stays in view until a later store succeeds: what is not stored
  // is lost with the page, so the person must know to download it.
  function storageFailed(text) {
    storageAlert.textContent = `${text}. Files in Documents last only until the page is closed: ` +
                               'download them from "Documents…" to keep them.';
    storageAlert.hidden = false;
  }

  // ---- The screen ------------------------------------------------------------------------------------

  // The largest whole number of device pixels per screen pixel that fits the stage, at least one.
  function layout() {
    const ratio = window.devicePixelRatio || 1;
    const zoom = Math.max(1, Math.floor(Math.min(stage.clientWidth * ratio / canvas.width,
                                                 stage.clientHeight * ratio / canvas.height)));
    canvas.style.width = `${canvas.width * zoom / ratio}px`;
    canvas.style.height = `${canvas.height * zoom / ratio}px`;
  }

  function showScreen(heap, first, width, height) {
    if (!image || image.width !== width || image.height !== height) {
      canvas.width = width;
      canvas.height = height;
      image = context.createImageData(width, height);
      layout();
    }
    const out = new Uint32Array(image.data.buffer);
    for (let i = 0; i < out.length; ++i) {
      const p = heap[first + i];  // 0x00RRGGBB; the canvas's bytes are R, G, B, A in memory order
      out[i] = 0xFF000000 | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >>> 16) & 0xFF);
    }
    context.putImageData(image, 0, 0);
    stats.frames++;
    if (stats.firstFrame === null) {
      stats.firstFrame = performance.now();
      document.getElementById('loading').remove();
      registerServiceWorker();
    }
  }

  // ---- Events ----------------------------------------------------------------------------------------

  function push(kind, x = 0, y = 0, key = 0, ch = 0) {
    if (!running) return;
    queue.push([kind, x, y, key, ch]);
    if (kind !== MOVE && kind !== KEY_UP && kind !== ROTATE) unsavedInput = true;
    if (wake) {
      const resolve = wake;
      wake = null;
      stats.wokeAt = performance.now();
      resolve();
    }
  }

  function nextEvent() {
    stats.waits++;
    if (queue.length) return Promise.resolve();
    stats.idleAt = performance.now();
    return new Promise(resolve => { wake = resolve; });
  }

  function takeEvent(heap, first) {
    const e = queue.shift();
    if (!e) return 0;
    heap.set(e, first);
    return 1;
  }

  // The program waits with nothing left to do.
  function isIdle() { return wake !== null && queue.length === 0; }

  function whenIdle() {
    return new Promise(resolve => {
      const check = () => (isIdle() || ended ? resolve() : setTimeout(check, 10));
      check();
    });
  }

  // ---- Input for the lab ---------------------------------------------------------------------------

  // What the device shows on top: the class of its active top-level window ("KELVORA" is the main
  // window), "" while a menu is open, null before the program runs.
  let activeAnswer = null;
  function activeWindowIs(name) { activeAnswer = name; }
  function activeWindow() {
    if (!running || typeof Module._kelvora_page_ask_active_window !== 'function') return null;
    activeAnswer = null;
    Module._kelvora_page_ask_active_window();
    return activeAnswer;
  }

  function pressKey(vk) {
    push(KEY_DOWN, 0, 0, vk);
    push(KEY_UP, 0, 0, vk);
  }

  // Text as the keyboard gives it: a letter or digit with its key, other characters alone.
  function typeText(text) {
    for (const ch of text) {
      const vk = /^[a-z0-9]$/i.test(ch) ? ch.toUpperCase().charCodeAt(0) : 0;
      if (vk) push(KEY_DOWN, 0, 0, vk);
      push(CHAR, 0, 0, 0, ch.codePointAt(0));
      if (vk) push(KEY_UP, 0, 0, vk);
    }
  }

  function devicePoint(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * canvas.width / r.width),
            Math.floor((e.clientY - r.top) * canvas.height / r.height)];
  }

  canvas.addEventListener('pointerdown', e => {
    if (pointerId !== null || (e.pointerType === 'mouse' && e.button !== 0)) return;
    const [x, y] = devicePoint(e);
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
    e.preventDefault();
    canvas.focus({preventScroll: true});
    pointerId = e.pointerId;
    canvas.setPointerCapture(e.pointerId);
    push(DOWN, x, y);
  });
  canvas.addEventListener('pointermove', e => {
    if (e.pointerId === pointerId) push(MOVE, ...devicePoint(e));
  });
  for (const type of ['pointerup', 'pointercancel']) {
    canvas.addEventListener(type, e => {
      if (e.pointerId !== pointerId) return;
      pointerId = null;
      push(UP, ...devicePoint(e));
    });
  }
  canvas.addEventListener('contextmenu', e => e.preventDefault());

  // Virtual-key codes of the keys the device knows.
  const NAMED_KEYS = {
    Enter: 0x0D, Escape: 0x1B, Tab: 0x09, Backspace: 0x08, Delete: 0x2E, ' ': 0x20, ArrowLeft: 0x25,
    ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, Home: 0x24, End: 0x23, PageUp: 0x21, PageDown: 0x22,
    Shift: 0x10, Control: 0x11, F1: 0x70, F2: 0x71, F9: 0x78,
  };

  function virtualKey(e) {
    if (e.key in NAMED_KEYS) return NAMED_KEYS[e.key];
    if (/^[a-z0-9]$/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0);
    const code = /^(?:Key([A-Z])|Digit([0-9]))$/.exec(e.code);  // Ctrl+letter on other layouts
    return code ? (code[1] || code[2]).charCodeAt(0) : 0;
  }

  function ownsKeys(target) {
    return target instanceof Element && target.closest('button, input, select, a, dialog') !== null;
  }

  window.addEventListener('keydown', e => {
    if (e.altKey || e.metaKey || ownsKeys(e.target) || e.isComposing) return;
    const vk = virtualKey(e);
    // Text arrives with its key; a space is made from its key by the device, as on the desktop.
    const text = [...e.key].length === 1 && !e.ctrlKey && e.key !== ' ' ? e.key : '';
    if (!vk && !text) return;
    e.preventDefault();
    if (vk) {
      keysDown.add(vk);
      push(KEY_DOWN, 0, 0, vk);
    }
    if (text) push(CHAR, 0, 0, 0, text.codePointAt(0));
  });
  window.addEventListener('keyup', e => {
    const vk = virtualKey(e);
    if (!keysDown.delete(vk)) return;
    e.preventDefault();
    push(KEY_UP, 0, 0, vk);
  });
  // Keys held when the page loses the keyboard are let go, so no Ctrl or Shift stays down.
  window.addEventListener('blur', () => {
    for (const vk of keysDown) push(KEY_UP, 0, 0, vk);
    keysDown.clear();
  });

  // ---- Rotation --------------------------------------------------------------------------------------

  document.getElementById('rotate').addEventListener('click', () => push(ROTATE));

  // A phone's own turn is followed; a desktop window that changes shape is not a turn.
  function followOrientation() {
    const type = screen.orientation && screen.orientation.type;
    if (!type) return;
    const landscape = type.startsWith('landscape');
    if (landscape !== (canvas.width > canvas.height)) push(ROTATE);
  }
  if (screen.orientation) screen.orientation.addEventListener('change', followOrientation);
  window.addEventListener('resize', layout);

  // ---- Documents ---------------------------------------------------------------------------------------

  // Called by the backend before the program starts: the folder in IndexedDB, read back.
  function openDocuments(FS, IDBFS, folder) {
    fs = FS;
    documents = folder;
    return new Promise(resolve => {
      try {
        FS.mount(IDBFS, {}, folder);
      } catch (error) {
        storageFailed('Documents cannot be kept in this browser');
        resolve();
        return;
      }
      FS.syncfs(true, error => {
        if (error) storageFailed(`The browser's storage cannot be read (${error.message || error})`);
        resolve();
      });
      if (navigator.storage && navigator.storage.persist) navigator.storage.persist().catch(() => {});
    });
  }

  // Stores Documents in IndexedDB; one store at a time, the last change always included.
  function storeDocuments() {
    if (!fs) return;
    if (syncing) {
      syncAgain = true;
      return;
    }
    syncing = true;
    fs.syncfs(false, error => {
      syncing = false;
      stats.syncs++;
      if (error) storageFailed(`Documents could not be stored in the browser (${error.message || error})`);
      else if (!syncAgain) storageAlert.hidden = true;
      if (syncAgain) {
        syncAgain = false;
        storeDocuments();
      }
    });
  }

  // The program wrote into Documents (a save): the work is kept.
  function documentsChanged() {
    unsavedInput = false;
    storeDocuments();
  }

  function documentFiles() {
    if (!fs) return [];
    return fs.readdir(documents).filter(name => {
      if (name === '.' || name === '..') return false;
      try { return fs.isFile(fs.stat(`${documents}/${name}`).mode); } catch (error) { return false; }
    }).sort();
  }

  // A name the user's file may have in Documents: its last path part, no control characters.
  function documentName(name) {
    const base = name.split(/[\\/]/).pop().replace(/[\u0000-\u001f\u007f]/g, '').slice(0, 200);
    return base === '' || base === '.' || base === '..' ? null : base;
  }

  // Writes a file of the page's making into Documents and stores the folder; false (and said) when the
  // file system refuses it.
  function writeDocument(name, data) {
    try {
      fs.writeFile(`${documents}/${name}`, data);
    } catch (error) {
      say(`${name}: not written (${error.message || error})`);
      return false;
    }
    storeDocuments();
    return true;
  }

  function readDocument(name) { return fs.readFile(`${documents}/${name}`); }

  async function upload(files) {
    for (const file of files) {
      const name = documentName(file.name);
      if (!name || file.size > MAX_UPLOAD) {
        say(`${file.name}: not copied (${name ? 'larger than 64 MB' : 'no usable name'})`);
        continue;
      }
      const path = `${documents}/${name}`;
      if (documentFiles().includes(name) && !confirm(`Replace ${name} in Documents?`)) continue;
      try {
        fs.writeFile(path, new Uint8Array(await file.arrayBuffer()));
      } catch (error) {
        say(`${name}: not copied (${error.message || error})`);
        continue;
      }
      say(`${name} is in Documents: HELP, Load opens it`);
    }
    storeDocuments();
  }

  const uploadInput = document.getElementById('upload');
  document.getElementById('open').addEventListener('click', () => uploadInput.click());
  uploadInput.addEventListener('change', () => {
    if (fs) upload([...uploadInput.files]).finally(() => { uploadInput.value = ''; });
  });

  function download(name) { saveFile(name, fs.readFile(`${documents}/${name}`), 'text/plain'); }

  // Gives the browser bytes to save as a file of that name.
  function saveFile(name, data, type) {
    const url = URL.createObjectURL(new Blob([data], {type}));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  }

  const documentsDialog = document.getElementById('documents');
  document.getElementById('files').addEventListener('click', () => {
    const list = document.getElementById('file-list');
    list.replaceChildren();
    const names = documentFiles();
    if (!names.length) list.append(Object.assign(document.createElement('li'), {textContent: 'No files yet.'}));
    for (const name of names) {
      const item = document.createElement('li');
      const button = Object.assign(document.createElement('button'), {type: 'button', textContent: 'Download'});
      button.addEventListener('click', () => download(name));
      item.append(Object.assign(document.createElement('span'), {textContent: name}), button);
      list.append(item);
    }
    documentsDialog.showModal();
  });

  // ---- Start and end -----------------------------------------------------------------------------------

  // Leaving the page with points typed or loaded since the last save asks first (where the browser asks).
  window.addEventListener('beforeunload', e => {
    if (!running || !unsavedInput) return;
    e.preventDefault();
    e.returnValue = '';
  });

  function programEnded(status) {
    running = false;
    ended = true;
    unsavedInput = false;
    say(status === 0 ? 'Kelvora has ended; reload the page to start it again' : `Kelvora ended (status ${status})`);
  }

  // The service worker keeps the page's files for offline starts. It is registered once the program
  // has drawn, so that it finds the program's files in the browser's cache instead of fetching them
  // a second time while the page still is.
  function registerServiceWorker() {
    if (!('serviceWorker' in navigator) || location.protocol === 'file:') return;
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
  layout();
  running = true;

  return {showScreen, nextEvent, takeEvent, isIdle, whenIdle, openDocuments, documentsChanged, programEnded,
          stats, documentFiles, writeDocument, readDocument, saveFile, say, activeWindowIs, activeWindow,
          pressKey, typeText, ended: () => ended, stored: () => !syncing && !syncAgain,
          unsaved: () => running && unsavedInput, documentsFolder: () => documents,
          ready: () => fs !== null && stats.firstFrame !== null};
})();

// The emscripten runtime's settings: where its files are, where its messages go.
var Module = {
  print: text => console.log(text),
  printErr: text => console.warn(text),
  onAbort: what => { document.getElementById('status').textContent = `Kelvora stopped: ${what}`; },
};
