// SPDX-License-Identifier: GPL-3.0-or-later
// The lab around the device: a table brought in (pasted, opened or dropped), read by kelvora-fit's own
// table reader, saved into Documents and loaded into the device through its HELP menu; the sixteen
// models ranked by kelvora-fit --all, a model's report, plot and predictions, and the results taken out
// (CSV, SVG, the report's text). Every number comes from kelvora-fit itself, compiled to WebAssembly as a
// module of its own (kelvora-fit.js, .wasm), fetched the first time the lab needs it.
'use strict';

const KelvoraLab = (() => {
  const FONT = '/fonts/DejaVuSans.ttf';   // the device's font file; kelvora-fit's plots are set in it
  const MAX_TABLE = 64 * 1024 * 1024;
  const VK_DOWN = 0x28, VK_RETURN = 0x0D, VK_F2 = 0x71;
  const STEP_PAUSE = 150;  // ms each step of a Load stays on screen

  // ---- kelvora-fit -------------------------------------------------------------------------------------

  let compiled = null;  // Promise of kelvora-fit's compiled WebAssembly module

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = Object.assign(document.createElement('script'), {src});
      script.onload = resolve;
      script.onerror = () => reject(new Error(`${src} could not be loaded`));
      document.head.append(script);
    });
  }

  function loadFit() {
    if (!compiled) {
      compiled = (async () => {
        const [response] = await Promise.all([fetch('kelvora-fit.wasm'), loadScript('kelvora-fit.js')]);
        if (!response.ok) throw new Error(`kelvora-fit.wasm could not be loaded (${response.status})`);
        return WebAssembly.compile(await response.arrayBuffer());
      })();
      compiled.catch(() => { compiled = null; });  // a later try fetches again
    }
    return compiled;
  }

  // Runs kelvora-fit with args in a fresh instance (nothing is kept from one run to the next), the
  // files of `inputs` in its working folder; returns its exit status, standard output and error as
  // text, and the bytes of the files named in `outputs` that it wrote.
  async function runFit(args, inputs = {}, outputs = []) {
    const wasm = await loadFit();
    const out = [], err = [];
    const instance = await createKelvoraFit({
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(wasm, imports).then(made => receive(made, wasm));
        return {};
      },
      preRun: [m => m.FS.init(() => null, c => { if (c !== null) out.push(c); }, c => { if (c !== null) err.push(c); })],
      print: () => {}, printErr: () => {},
    });
    const FS = instance.FS;
    FS.mkdir('/fonts');
    FS.writeFile(FONT, Module.FS.readFile(FONT));
    FS.mkdir('/work');
    FS.chdir('/work');
    for (const [name, data] of Object.entries(inputs)) FS.writeFile(name, data);
    let status;
    try {
      status = instance.callMain(args);
    } catch (error) {
      if (error && typeof error.status === 'number') status = error.status;
      else throw error;
    }
    const files = {};
    for (const name of outputs) {
      try { files[name] = FS.readFile(name); } catch (error) { /* not written */ }
    }
    const text = bytes => new TextDecoder().decode(new Uint8Array(bytes));
    return {status, stdout: text(out), stderr: text(err), files};
  }

  // kelvora-fit's messages (its lines on standard error that start with its name), without its name
  // and the working file's name in front.
  function messages(stderr, file) {
    return stderr.split('\n').filter(line => line.startsWith('kelvora-fit: '))
      .map(line => line.replace(/^kelvora-fit: /, '').replace(`${file}: `, '')).join('\n');
  }

  // A number kelvora-fit printed, in the fewest digits that read back as the same double (what a
  // points file needs; "0.10000000000000001" is 0.1).
  function shortest(printed) {
    const value = Number(printed);
    return Number.isFinite(value) ? String(value) : printed;
  }

  // The rows of a residual CSV: [x, y, fitted, residual] as kelvora-fit printed them.
  function csvRows(stdout) {
    const at = stdout.indexOf('x,y,fitted,residual\n');
    if (at < 0) return [];
    return stdout.slice(at).split('\n').slice(1).filter(line => line !== '').map(line => line.split(','));
  }

  // ---- The table -----------------------------------------------------------------------------------------

  const $ = id => document.getElementById(id);
  const tableText = $('table-text');
  const pickers = {x: $('column-x'), y: $('column-y'), sigma: $('column-sigma')};
  // What the reader made of the text: {text, columns, pick: {x, y, sigma}, points: [[x, y]...], sigma}
  let table = null;
  let readVersion = 0;

  function tableMessage(text, error = false) {
    $('table-message').textContent = text;
    $('table-message').classList.toggle('error', error);
  }

  function columnOptions(count) {
    for (const [key, select] of Object.entries(pickers)) {
      const keep = select.value;
      select.replaceChildren();
      if (key === 'sigma') select.append(new Option('none', '0'));
      for (let c = 1; c <= count; ++c) select.append(new Option(`column ${c}`, String(c)));
      select.value = keep && Number(keep) <= count ? keep : key === 'x' ? '1' : key === 'y' ? '2' : '0';
    }
    $('column-pickers').hidden = count <= 2;
  }

  function pickArgs(columns) {
    if (!columns || columns <= 2) return [];
    const sigma = Number(pickers.sigma.value);
    return sigma ? [`--columns=${pickers.x.value},${pickers.y.value},${sigma}`, '--sigma']
                 : [`--columns=${pickers.x.value},${pickers.y.value}`];
  }

  // Reads the text with kelvora-fit's reader: a points file or a plain table as kelvora-fit tells them
  // apart; a wider table asks for its columns, which the reader's own message counts.
  async function readTable() {
    const version = ++readVersion;
    const text = tableText.value;
    table = null;
    updateButtons();
    if (text.trim() === '') {
      tableMessage('');
      showPreview(null);
      $('column-pickers').hidden = true;
      return;
    }
    const input = {'table.txt': text};
    let columns = $('column-pickers').hidden ? 0 : pickers.x.options.length;
    let run = await runFit(['--precise', '--residuals', ...pickArgs(columns), 'table.txt'], input);
    const wide = /line \d+: (\d+) columns: /.exec(run.stderr);
    if (wide) {
      columns = Number(wide[1]);
      columnOptions(columns);
      run = await runFit(['--precise', '--residuals', ...pickArgs(columns), 'table.txt'], input);
    } else if (!columns) {
      $('column-pickers').hidden = true;
    }
    if (version !== readVersion) return;  // the text changed meanwhile
    const rows = csvRows(run.stdout);
    const said = messages(run.stderr, 'table.txt');
    if (run.status === 1 || rows.length === 0) {
      tableMessage(said || 'No points were read.', true);
      showPreview(null);
      return;
    }
    const sigma = columns > 2 && Number(pickers.sigma.value) > 0;
    table = {text, columns, args: pickArgs(columns), points: rows.map(r => [shortest(r[0]), shortest(r[1])]), sigma};
    tableMessage(`${rows.length} point${rows.length === 1 ? '' : 's'} read.${said ? `\n${said}` : ''}`);
    showPreview(table);
    updateButtons();
  }

  function showPreview(read) {
    $('preview-box').hidden = !read;
    if (!read) return;
    const head = $('preview').tHead, body = $('preview').tBodies[0];
    const names = read.columns > 2 ? [`X (column ${pickers.x.value})`, `Y (column ${pickers.y.value})`] : ['X', 'Y'];
    head.replaceChildren(rowOf('th', ['', ...names]));
    const shown = read.points.length > 8 ? [...read.points.slice(0, 6), null, read.points[read.points.length - 1]]
                                         : read.points;
    body.replaceChildren(...shown.map((p, i) => p ? rowOf('td', [i === shown.length - 1 ? read.points.length : i + 1, ...p])
                                                  : rowOf('td', ['…', '…', '…'])));
  }

  function rowOf(cell, values) {
    const row = document.createElement('tr');
    for (const v of values) row.append(Object.assign(document.createElement(cell), {textContent: String(v)}));
    return row;
  }

  let readTimer = null;
  function readSoon() {
    clearTimeout(readTimer);
    readTimer = setTimeout(() => readTable().catch(error => tableMessage(String(error.message || error), true)), 250);
  }
  // New text is read as kelvora-fit tells tables apart; the columns are asked for again if need be.
  tableText.addEventListener('input', () => {
    $('column-pickers').hidden = true;
    readSoon();
  });
  for (const select of Object.values(pickers)) select.addEventListener('change', readSoon);

  async function takeFile(file) {
    if (!file) return;
    if (file.size > MAX_TABLE) {
      tableMessage(`${file.name}: larger than 64 MB`, true);
      return;
    }
    tableText.value = await file.text();
    $('column-pickers').hidden = true;
    const base = file.name.replace(/\.[^.]*$/, '').replace(/[\\/\u0000-\u001f\u007f]/g, '').slice(0, 100);
    if (base) $('table-name').value = base;
    readSoon();
  }
  $('table-file').addEventListener('change', () => takeFile($('table-file').files[0]).finally(() => { $('table-file').value = ''; }));
  const importPanel = $('import-panel');
  importPanel.addEventListener('dragover', e => e.preventDefault());
  importPanel.addEventListener('drop', e => {
    e.preventDefault();
    takeFile(e.dataTransfer.files[0]);
  });

  function updateButtons() {
    $('load-table').disabled = !table;
    $('rank-table').disabled = !table;
  }

  // ---- Into the device -----------------------------------------------------------------------------------

  // The name the points get in Documents: the person's, ".dat" added when it has no extension.
  function documentsName() {
    let name = $('table-name').value.trim().replace(/[\\/\u0000-\u001f\u007f]/g, '').slice(0, 100);
    if (name === '' || name === '.' || name === '..') return null;
    if (!/\.[^.]+$/.test(name)) name += '.dat';
    return name;
  }

  // The points as a points file: the count, then X and Y of each point as kelvora-fit read them.
  function pointsFile(points) {
    return `${points.length}\n${points.map(([x, y]) => `${x} ${y}`).join('\n')}\n`;
  }

  const pause = ms => new Promise(resolve => setTimeout(resolve, ms));
  async function step() {
    await KelvoraPage.whenIdle();
    await pause(STEP_PAUSE);
  }

  // HELP, "Load the data from the file", the name, OK: the device's own Load, as a person would do it.
  // True when the device is back in its main window with the file loaded.
  async function loadThroughHelp(name) {
    KelvoraPage.pressKey(VK_F2);
    await step();
    KelvoraPage.pressKey(VK_DOWN);
    KelvoraPage.pressKey(VK_DOWN);
    await step();
    KelvoraPage.pressKey(VK_RETURN);
    await step();
    if (KelvoraPage.activeWindow() !== '#32770') return false;
    KelvoraPage.typeText(name);
    await step();
    KelvoraPage.pressKey(VK_RETURN);
    await step();
    return KelvoraPage.activeWindow() === 'KELVORA';
  }

  async function loadIntoKelvora() {
    if (!table) return;
    const name = documentsName();
    if (!name) {
      tableMessage('Give the file a name for Documents.', true);
      return;
    }
    if (KelvoraPage.documentFiles().includes(name) && !confirm(`Replace ${name} in Documents?`)) return;
    if (!KelvoraPage.writeDocument(name, pointsFile(table.points))) return;
    await KelvoraPage.whenIdle();
    if (KelvoraPage.activeWindow() !== 'KELVORA') {
      tableMessage(`${name} is in Documents. Kelvora is busy with another window or menu: close it, then ` +
                   `load ${name} with HELP, Load.`, true);
      return;
    }
    importPanel.close();
    const loaded = await loadThroughHelp(name);
    KelvoraPage.say(loaded ? `${name} is loaded into Kelvora (and kept in Documents)`
                           : `${name} is in Documents; Kelvora did not finish loading it: see its screen`);
  }
  $('load-table').addEventListener('click', () => loadIntoKelvora().catch(error => tableMessage(String(error), true)));

  // ---- Fit all models ------------------------------------------------------------------------------------

  const rankPanel = $('rank-panel');
  const IMPORTED = '';   // the source value of the imported table
  let ranked = null;     // {input, args, refine, fits, jsonLines, lines}: kelvora-fit --all's JSON and text
  let chosen = null;     // {fit, report, csv, svg}

  function sourceOptions() {
    const select = $('rank-source');
    const keep = select.value;
    select.replaceChildren();
    if (table) select.append(new Option('the imported table', IMPORTED));
    for (const name of KelvoraPage.documentFiles()) select.append(new Option(`Documents: ${name}`, name));
    if ([...select.options].some(o => o.value === keep)) select.value = keep;
    $('rank-run').disabled = select.options.length === 0;
    if (!select.options.length) rankMessage('No table yet: import one, or save points into Documents.');
  }

  function rankMessage(text, error = false) {
    $('rank-message').textContent = text;
    $('rank-message').classList.toggle('error', error);
  }

  // The chosen data as kelvora-fit's input file and the options that read it.
  function rankInput() {
    const source = $('rank-source').value;
    if (source === IMPORTED && table) return {file: 'table.txt', data: table.text, args: table.args, label: 'the imported table'};
    return {file: 'data.txt', data: KelvoraPage.readDocument(source), args: [], label: source};
  }

  // One fit as kelvora-fit --all prints it: "S=... A=... model=K [N=...] Y=formula [(a note)]"; the
  // formula and its note are `formula`.
  function printedFields(line) {
    const fields = {};
    const formula = line.indexOf(' Y=');
    for (const pair of line.slice(0, formula < 0 ? line.length : formula).split(' ')) {
      const eq = pair.indexOf('=');
      if (eq > 0) fields[pair.slice(0, eq)] = pair.slice(eq + 1);
    }
    fields.formula = formula < 0 ? '' : line.slice(formula + 1);
    return fields;
  }

  async function rank() {
    chosen = null;
    const input = rankInput();
    const refine = $('rank-refine').checked;
    const args = [...input.args, ...(refine ? ['--refine'] : []), '--all'];
    const started = performance.now();
    const files = {[input.file]: input.data};
    const [json, text] = [await runFit([...args, '--json', input.file], files), await runFit([...args, input.file], files)];
    const jsonLines = json.stdout.split('\n').filter(line => line.startsWith('{'));
    const fits = jsonLines.map(line => JSON.parse(line));
    const lines = text.stdout.split('\n').filter(line => line.startsWith('S='));
    KelvoraLab.stats.rankMs = performance.now() - started;
    const said = messages(json.stderr, input.file);
    if (!fits.length || fits.length !== lines.length) {
      rankMessage(said || 'No model could be fitted.', true);
      $('ranking').hidden = true;
      return;
    }
    ranked = {input, args: [...input.args, ...(refine ? ['--refine'] : [])], refine, fits, jsonLines, lines};
    rankMessage(`${fits.length} models fitted on ${input.label} (${fits[0].n} points)` +
                `${refine ? ', refined by least squares on Y' : ''}.${said ? `\n${said}` : ''}`);
    showRanking();
    await choose(0);
  }

  function formulaOf(fit) {
    return fit.N !== undefined || fit.exponent !== undefined || fit.exponentN !== undefined
      ? `${fit.formula} (N=${fit.N ?? fit.exponent ?? fit.exponentN})` : fit.formula;
  }

  function showRanking() {
    const body = $('ranking').tBodies[0];
    body.replaceChildren();
    ranked.fits.forEach((fit, i) => {
      const p = printedFields(ranked.lines[i]);
      const row = document.createElement('tr');
      const k = Object.assign(document.createElement('button'), {type: 'button', textContent: String(fit.model)});
      k.setAttribute('aria-label', `Model ${fit.model}: report, plot and predictions`);
      const model = p.N !== undefined ? p.formula.replace(/^(\S+)/, `$1 (N=${p.N})`) : p.formula;
      const cells = [model || formulaOf(fit), `${p.A} ± ${p.se_A}`, `${p.B} ± ${p.se_B}`, p.S, p.r2, p.aicc, p.akaike_weight];
      const first = document.createElement('th');
      first.scope = 'row';
      first.append(k);
      row.append(first, ...cells.map((v, c) => Object.assign(document.createElement('td'),
                                                              {textContent: v ?? '', className: c === 0 ? 'formula' : ''})));
      row.setAttribute('aria-selected', 'false');
      row.addEventListener('click', () => choose(i));
      body.append(row);
    });
    $('ranking').hidden = false;
  }

  function modelArgs(fit) {
    const n = fit.N ?? fit.exponent ?? fit.exponentN;
    return ['--model', String(fit.model), ...(n !== undefined ? ['--exponent', String(n)] : [])];
  }

  async function choose(index) {
    const fit = ranked.fits[index];
    for (const [i, row] of [...$('ranking').tBodies[0].rows].entries()) row.setAttribute('aria-selected', String(i === index));
    const {file, data} = ranked.input;
    const base = [...ranked.args, ...modelArgs(fit)];
    const files = {[file]: data};
    const report = await runFit([...base, '--report', '--plot', 'plot.svg', file], files, ['plot.svg']);
    const residuals = await runFit([...base, '--residuals', file], files);
    const csvAt = residuals.stdout.indexOf('x,y,fitted,residual\n');
    chosen = {fit, report: report.stdout, csv: csvAt >= 0 ? residuals.stdout.slice(csvAt) : '', svg: report.files['plot.svg']};
    $('chosen-title').textContent = `Model ${fit.model}: ${formulaOf(fit)}`;
    $('report').textContent = report.stdout + (report.status ? messages(report.stderr, file) : '');
    const plot = $('plot');
    if (plot.src) URL.revokeObjectURL(plot.src);
    if (chosen.svg) {
      plot.src = URL.createObjectURL(new Blob([chosen.svg], {type: 'image/svg+xml'}));
      plot.alt = `Plot of the points and the fit ${formulaOf(fit)}`;
    } else {
      plot.removeAttribute('src');
      plot.alt = 'No plot: ' + messages(report.stderr, file);
    }
    $('download-svg').disabled = !chosen.svg;
    $('download-csv').disabled = !chosen.csv;
    $('prediction').textContent = '';
    $('chosen').hidden = false;
  }

  async function predict() {
    if (!chosen) return;
    const at = $('predict-x').value.trim().replace(/\s+/g, '');
    if (at === '') return;
    const {file, data} = ranked.input;
    const run = await runFit([...ranked.args, ...modelArgs(chosen.fit), '--predict', at, file], {[file]: data});
    const lines = run.stdout.split('\n').filter(line => line.startsWith('predict'));
    $('prediction').textContent = lines.length ? lines.join('\n') : messages(run.stderr, file);
  }

  function fileBase() {
    const label = ranked.input.label === 'the imported table' ? $('table-name').value.trim() || 'table' : ranked.input.label;
    return `${label.replace(/\.[^.]*$/, '')}-model${chosen.fit.model}`;
  }

  $('rank-run').addEventListener('click', () => rank().catch(error => rankMessage(String(error.message || error), true)));
  $('predict').addEventListener('click', () => predict().catch(error => rankMessage(String(error), true)));
  $('predict-x').addEventListener('keydown', e => { if (e.key === 'Enter') predict(); });
  $('download-csv').addEventListener('click', () => KelvoraPage.saveFile(`${fileBase()}-residuals.csv`, chosen.csv, 'text/csv'));
  $('download-svg').addEventListener('click', () => KelvoraPage.saveFile(`${fileBase()}.svg`, chosen.svg, 'image/svg+xml'));
  $('copy-report').addEventListener('click', async () => {
    try {
      await navigator.clipboard.writeText(chosen.report);
      rankMessage('The report is on the clipboard.');
    } catch (error) {
      // Where the browser keeps the clipboard closed, the report is selected for Ctrl+C.
      getSelection().selectAllChildren($('report'));
      rankMessage('The browser does not let the page copy: the report is selected, copy it from there.');
    }
  });

  // ---- Panels --------------------------------------------------------------------------------------------

  function openPanel(panel) {
    if (!KelvoraPage.ready()) {
      KelvoraPage.say('Kelvora is still starting');
      return;
    }
    loadFit().catch(error => KelvoraPage.say(String(error.message || error)));
    panel.showModal();
  }
  $('import').addEventListener('click', () => openPanel(importPanel));
  $('rank').addEventListener('click', () => {
    sourceOptions();
    openPanel(rankPanel);
  });
  $('rank-table').addEventListener('click', () => {
    importPanel.close();
    sourceOptions();
    $('rank-source').value = IMPORTED;
    openPanel(rankPanel);
    rank().catch(error => rankMessage(String(error.message || error), true));
  });
  for (const button of document.querySelectorAll('dialog .close')) {
    button.addEventListener('click', () => button.closest('dialog').close());
  }

  return {runFit, stats: {rankMs: null}, table: () => table, ranked: () => ranked, chosen: () => chosen};
})();
