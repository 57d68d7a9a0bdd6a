// The workbench page: the images open in it, their views, and the wiring of every control.
'use strict';

function renderDocs() {
  const sel = $('#docs');
  sel.innerHTML = state.docs.map((d, i) => `<option value="${i}">${escapeHtml(d.name)}</option>`).join('');
  sel.value = String(state.current);
  const other = $('#compare-with');
  other.innerHTML = state.docs.map((d, i) => (i === state.current ? '' : `<option value="${i}">${escapeHtml(d.name)}</option>`)).join('');
  if (doc() && doc().baseline) other.innerHTML += `<option value="module">${t('module')}</option>`;
}

function render() {
  renderDocs();
  const d = doc();
  $('#drop-hint').hidden = !!d;
  if (!d) {
    $('#title-a').textContent = '';
    $('#hex').innerHTML = '';
    $('#view-b').hidden = true;
    $('#diff-box').hidden = true;
    clearDecode();
    return;
  }
  const a = d.analysis;
  $('#title-a').textContent = d.name;
  renderDecode(a);
  if (a.error) {
    say(a.error, true);
    state.fields = renderHex($('#hex'), d.image, null, {});
    $('#view-b').hidden = true;
    return;
  }
  const edited = new Set();
  for (let i = 0; i < d.image.length; i++) if (d.image[i] !== d.original[i]) edited.add(i);
  state.fields = renderHex($('#hex'), d.image, a, { edited, diff: state.compare ? state.compare.diff : null });
  $('#view-b').hidden = !state.compare;
  $('#diff-box').hidden = !state.compare;
  if (state.compare) {
    $('#title-b').textContent = state.compare.name;
    renderHex($('#hex-b'), state.compare.image, state.compare.analysis.error ? null : state.compare.analysis, { diff: state.compare.diff });
  }
}

async function openFiles(files) {
  for (const file of files) {
    const buffer = await file.arrayBuffer();
    const r = await api('/api/open', buffer);
    if (r.error) { say(`${file.name}: ${r.error}`, true); continue; }
    say('');
    await addDoc(file.name, fromHex(r.image));
  }
}

function wire() {
  const input = $('#file-input');
  document.addEventListener('click', async (e) => {
    const button = e.target.closest('[data-action]');
    const action = button?.dataset.action;
    if (action === 'open') return input.click();
    if (action && editActions[action]) return editActions[action]();
    if (action && benchActions[action]) return benchActions[action](button);
    const byte = e.target.closest('.hex span.b');
    if (byte) return showByte(byte);
    const link = e.target.closest('.link');
    const d = doc();
    if (!link || !d || d.analysis.error) return;
    if (link.dataset.key) highlight(offsetsOfKey(d.analysis, link.dataset.key));
    else if (link.dataset.keys !== undefined) highlight(link.dataset.keys.split(' ').filter(Boolean).flatMap((k) => offsetsOfKey(d.analysis, k)));
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
    if (e.target.name) edit({ op: 'set', key: e.target.name, value: e.target.value });
  });
  $('#fields').addEventListener('submit', (e) => e.preventDefault());
  $('#docs').addEventListener('change', (e) => { state.current = Number(e.target.value); state.compare = null; say(''); render(); });
  $('#lang').addEventListener('change', (e) => { applyLanguage(e.target.value); render(); showStatus(bench.last); });
  $('#plan-body').addEventListener('change', (e) => { if (e.target.id === 'clone') planReady(); });
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFiles(Array.from(e.dataTransfer.files));
  });
}

async function start() {
  // The token has done its work (the cookie holds it): it leaves the address bar and the history.
  if (location.search.includes('token=')) history.replaceState(null, '', location.pathname);
  wire();
  applyLanguage('zh');
  const s = await api('/api/start');
  if (s.error) show('programmer', s.error, true);
  await startBench(s);
  for (const f of s.files || []) await addDoc(f.name, fromHex(f.image));
  if (state.docs.length > 0) { state.current = 0; render(); } else render();
  window.readyAt = performance.now();  // since the request for the page: the benchmark reads it
  document.body.dataset.ready = '1';
}
start();
