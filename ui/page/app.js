// The workbench page: images open in tabs, each with its own undo and redo; every view is drawn
// from the server's analysis of the current bytes.
'use strict';

const state = { docs: [], current: -1, compare: null, fields: new Map() };
const $ = (sel) => document.querySelector(sel);

function toHex(bytes) { return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join(''); }
function fromHex(hex) {
  const out = new Uint8Array(hex.length / 2);
  for (let i = 0; i < out.length; i++) out[i] = parseInt(hex.substr(2 * i, 2), 16);
  return out;
}

async function api(path, body) {
  const options = body === undefined ? {} : {
    method: 'POST',
    headers: { 'Content-Type': body instanceof ArrayBuffer ? 'application/octet-stream' : 'application/json' },
    body: body instanceof ArrayBuffer ? body : JSON.stringify(body),
  };
  const r = await fetch(path, options);
  if (r.status === 413) return { error: '文件大于 64 KiB，不是 SPD 映像' };
  if (!r.ok && !(r.headers.get('Content-Type') || '').includes('json')) return { error: `HTTP ${r.status}` };
  return r.json();
}

function doc() { return state.docs[state.current]; }

function say(text, refused) {
  const m = $('#message');
  m.textContent = text;
  m.className = refused ? 'refused' : '';
}

async function addDoc(name, bytes, extra) {
  const d = { name, image: bytes, original: bytes, undo: [], redo: [], analysis: null, ...extra };
  d.analysis = await api('/api/analyse', { image: toHex(bytes) });
  state.docs.push(d);
  state.current = state.docs.length - 1;
  render();
  return d;
}

async function openFiles(files) {
  for (const file of files) {
    const buffer = await file.arrayBuffer();
    const r = await api('/api/open', buffer);
    if (r.error) { say(`${file.name}: ${r.error}`, true); continue; }
    await addDoc(file.name, fromHex(r.image));
  }
}

function renderDocs() {
  const sel = $('#docs');
  sel.innerHTML = state.docs.map((d, i) => `<option value="${i}">${escapeHtml(d.name)}</option>`).join('');
  sel.value = String(state.current);
  const other = $('#compare-with');
  other.innerHTML = state.docs.map((d, i) => (i === state.current ? '' : `<option value="${i}">${escapeHtml(d.name)}</option>`)).join('');
  if (doc() && doc().baseline) other.innerHTML += `<option value="module">${t('module')}</option>`;
}

function lineRows(lines, analysis) {
  return lines.map(([label, value]) => {
    const f = analysis.layout.find((x) => x.name === label);
    const key = f ? ` class="link" data-key="${escapeHtml(f.key)}"` : '';
    return `<tr><th${key}>${escapeHtml(label)}</th><td>${escapeHtml(value)}</td></tr>`;
  }).join('');
}

function renderDecode(a) {
  $('#summary').innerHTML = lineRows(a.summary, a);
  const checks = a.checksums.map((c) => `<li class="link ${c.ok ? 'ok' : 'bad'}" data-from="${c.from}" data-to="${c.to}" data-at="${c.at}">` +
    `${escapeHtml(c.name)}: ${c.from}-${c.to} @ ${c.at}: 0x${c.stored.toString(16).toUpperCase().padStart(4, '0')} / ` +
    `0x${c.computed.toString(16).toUpperCase().padStart(4, '0')} ${c.ok ? '✓' : '✗'}</li>`);
  for (const w of a.strict) {
    const keys = a.layout.filter((f) => f.key && w.includes(f.name)).map((f) => f.key);
    checks.push(`<li class="link bad" data-keys="${escapeHtml(keys.join(' '))}">${escapeHtml(t('strict'))}: ${escapeHtml(w)}</li>`);
  }
  $('#checks').innerHTML = checks.join('');
  const p = a.profiles;
  $('#profiles').innerHTML = p.length === 0 ? `<tr><td>${t('no_profiles')}</td></tr>` :
    '<tr><th></th><th>MT/s</th><th>CL-tRCD-tRP-tRAS</th><th>V</th></tr>' + p.map((x) =>
      `<tr><th>${escapeHtml(x.kind)} ${x.number}${x.name ? ' ' + escapeHtml(x.name) : ''}</th><td>${x.rate}</td>` +
      `<td>${x.cl}-${x.trcd}-${x.trp}-${x.tras}</td><td>${Object.values(x.voltages).map((v) => `${v.label} ${v.volts.toFixed(3)}`).join(', ')}</td></tr>`).join('');
  $('#promote-profile').innerHTML = p.map((x) => `<option value="${x.id}">${x.kind} ${x.number}</option>`).join('');
  $('#sections').innerHTML = a.sections.map((s) => `<h4>${escapeHtml(s.title)}</h4><table>${lineRows(s.lines, a)}</table>`).join('');
  $('#fields').innerHTML = a.settables.map((s) =>
    `<div class="field"><label class="link" data-key="${escapeHtml(s.key)}" title="${escapeHtml(s.key)}">${escapeHtml(s.name)}</label>` +
    `<input name="${escapeHtml(s.key)}" value="${escapeHtml(s.value)}">` +
    `<span class="hint">${escapeHtml(s.unit)}${s.range && s.range !== s.unit ? '' : ''}<span class="refusal"></span></span></div>`).join('');
}

function render() {
  renderDocs();
  const d = doc();
  if (!d) return;
  const a = d.analysis;
  $('#title-a').textContent = d.name;
  if (a.error) {
    say(a.error, true);
    renderHex($('#hex'), d.image, null, {});
    return;
  }
  const edited = new Set();
  for (let i = 0; i < d.image.length; i++) if (d.image[i] !== d.original[i]) edited.add(i);
  state.fields = renderHex($('#hex'), d.image, a, { edited, diff: state.compare ? state.compare.diff : null });
  renderDecode(a);
  if (state.compare) {
    $('#view-b').hidden = false;
    $('#title-b').textContent = state.compare.name;
    renderHex($('#hex-b'), state.compare.image, state.compare.analysis, { diff: state.compare.diff });
  } else {
    $('#view-b').hidden = true;
  }
}

async function applyImage(result) {
  const d = doc();
  d.undo.push(d.image);
  d.redo = [];
  d.image = fromHex(result.image);
  d.analysis = await api('/api/analyse', { image: result.image });
  render();
  const lines = result.fields.map((f) => `${f.name} (${f.key}): ${f.old} → ${f.new}，字节 ${f.bytes.join(', ')}`);
  for (const c of result.checksums) lines.push(`${c.name}: 0x${c.stored.toString(16).toUpperCase().padStart(4, '0')} → 0x${c.computed.toString(16).toUpperCase().padStart(4, '0')}`);
  lines.push(...result.notes, ...result.warnings);
  say(lines.length ? lines.join('\n') : t('nothing_changed'));
  highlight(result.fields.flatMap((f) => f.bytes));
}

async function edit(request, refusalAt) {
  const d = doc();
  if (!d) return say(t('no_image'), true);
  const r = await api('/api/edit', { image: toHex(d.image), ...request });
  if (r.needs_voltage_confirmation) {
    if (!window.confirm(`${r.error}\n\n${t('voltage')}`)) return say(r.error, true);
    return edit({ ...request, accept_voltage: true }, refusalAt);
  }
  if (r.error) {
    say(r.error, true);
    if (refusalAt) refusalAt.textContent = ' ' + r.error;
    render();  // the inputs show the image's values again
    if (refusalAt) {
      const again = document.querySelector(`#fields input[name="${CSS.escape(request.key)}"]`);
      if (again) again.parentElement.querySelector('.refusal').textContent = ' ' + r.error;
    }
    return;
  }
  await applyImage(r);
}

async function step(from, to) {
  const d = doc();
  if (!d || d[from].length === 0) return;
  d[to].push(d.image);
  d.image = d[from].pop();
  say('');
  d.analysis = await api('/api/analyse', { image: toHex(d.image) });
  render();
}

async function download() {
  const d = doc();
  if (!d) return;
  let blob, name = d.name.replace(/\.[^.]*$/, '');
  if ($('#as-text').checked) {
    const r = await api('/api/textdump', { image: toHex(d.image) });
    blob = new Blob([r.text], { type: 'text/plain' });
    name += '-edited.txt';
  } else {
    blob = new Blob([d.image], { type: 'application/octet-stream' });
    name += '-edited.bin';
  }
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
}

async function compare() {
  const d = doc();
  const which = $('#compare-with').value;
  if (!d || which === '') return say(t('need_two'), true);
  const other = which === 'module' ? { name: t('module'), image: d.baseline } : state.docs[Number(which)];
  const r = await api('/api/compare', { a: toHex(d.image), b: toHex(other.image) });
  if (r.error) return say(r.error, true);
  const diff = new Set();
  for (const run of r.runs) for (let o = run.from; o <= run.to; o++) diff.add(o);
  const analysis = other.analysis || await api('/api/analyse', { image: toHex(other.image) });
  state.compare = { name: other.name, image: other.image, analysis, diff };
  $('#diff-box').hidden = false;
  $('#diff').innerHTML = r.runs.map((x) => `<li class="link" data-from="${x.from}" data-to="${x.to}">0x${x.from.toString(16).toUpperCase()}` +
    `${x.to !== x.from ? '-0x' + x.to.toString(16).toUpperCase() : ''}${x.fields ? ' (' + escapeHtml(x.fields) + ')' : ''}</li>`).join('') +
    `<li>${r.runs.length === 0 && r.same_size ? t('same') : t('differ', r.runs.length, r.bytes)}</li>`;
  render();
}

async function kit() {
  if (state.docs.length < 2) return say(t('need_kit'), true);
  const r = await api('/api/kit', { images: state.docs.map((d) => ({ name: d.name, image: toHex(d.image) })) });
  $('#kit-box').hidden = false;
  $('#kit').textContent = r.text + (r.error ? `\n${r.error}` : '');
}

function showByte(el) {
  const o = Number(el.dataset.offset);
  const f = state.fields.get(o);
  const value = f && f.settable ? f.settable.value : '';
  // What the decode says of it, where a line of the decode carries the field's name.
  const line = f ? doc().analysis.sections.flatMap((x) => x.lines).find(([label]) => label === f.name) : null;
  $('#byte-info').textContent = `0x${o.toString(16).toUpperCase()} (${o}) = 0x${el.textContent}` +
    (f ? ` · ${f.key} · ${f.name}${value ? ' = ' + value : ''}${line ? ' · ' + line[1] : ''}` : '');
  if (f) highlight(offsetsOfKey(doc().analysis, f.key));
}

function wire() {
  const input = $('#file-input');
  document.addEventListener('click', async (e) => {
    const action = e.target.closest('[data-action]')?.dataset.action;
    const actions = {
      open: () => input.click(), undo: () => step('undo', 'redo'), redo: () => step('redo', 'undo'), download, compare, kit,
      rebin: () => edit({ op: 'rebin', speed: Number($('#rebin-speed').value) }),
      promote: () => edit({ op: 'promote', profile: $('#promote-profile').value, accept_voltage: false }),
    };
    if (action && actions[action]) return actions[action]();
    if (action && benchActions[action]) return benchActions[action]();
    const byte = e.target.closest('.hex span.b');
    if (byte) return showByte(byte);
    const link = e.target.closest('.link');
    if (!link || !doc()) return;
    if (link.dataset.key) highlight(offsetsOfKey(doc().analysis, link.dataset.key));
    else if (link.dataset.keys !== undefined) highlight(link.dataset.keys.split(' ').filter(Boolean).flatMap((k) => offsetsOfKey(doc().analysis, k)));
    else if (link.dataset.from) {
      const offs = [];
      for (let o = Number(link.dataset.from); o <= Number(link.dataset.to); o++) offs.push(o);
      if (link.dataset.at) offs.push(Number(link.dataset.at), Number(link.dataset.at) + 1);
      highlight(offs);
    }
  });
  document.addEventListener('mouseover', (e) => { const b = e.target.closest('.hex span.b'); if (b) showByte(b); });
  input.addEventListener('change', async () => { await openFiles(Array.from(input.files)); input.value = ''; });
  $('#fields').addEventListener('change', (e) => {
    if (e.target.name) edit({ op: 'set', key: e.target.name, value: e.target.value }, e.target.parentElement.querySelector('.refusal'));
  });
  $('#fields').addEventListener('submit', (e) => e.preventDefault());
  $('#docs').addEventListener('change', (e) => { state.current = Number(e.target.value); state.compare = null; render(); });
  $('#lang').addEventListener('change', (e) => { applyLanguage(e.target.value); renderDocs(); });
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFiles(Array.from(e.dataTransfer.files));
  });
}

async function start() {
  wire();
  applyLanguage('zh');
  const s = await api('/api/start');
  startBench(s);
  for (const f of s.files) await addDoc(f.name, fromHex(f.image));
  if (state.docs.length > 0) { state.current = 0; render(); }
  window.readyAt = performance.now();  // since the request for the page: the benchmark reads it
  document.body.dataset.ready = '1';
}
start();
