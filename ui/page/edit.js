// Edits of the image shown: fields, rebin, promote, checksums fixed; and what is made of images:
// a download, a comparison, a kit table. The server makes every new image and says what changed.
'use strict';

// The questions a refusal may be overruled by, in the page's words.
const CONFIRM = { faster: 'confirm_faster', voltage: 'confirm_voltage' };

function describeResult(result) {
  const lines = result.fields.map((f) => `${f.name} (${f.key}): ${f.old} → ${f.new}，${t('bytes_word')} ${f.bytes.join(', ')}`);
  for (const c of result.checksums) lines.push(`${c.name}: ${hex4(c.stored)} → ${hex4(c.computed)}`);
  lines.push(...result.notes, ...result.warnings);
  return lines.length ? lines.join('\n') : t('nothing_changed');
}

async function edit(request, refusalAt) {
  const d = doc();
  if (!d) return say(t('no_image'), true);
  const r = await api('/api/edit', { image: toHex(d.image), ...request });
  if (r.error && r.confirm && CONFIRM[r.confirm]) {
    if (window.confirm(`${r.error}\n\n${t(CONFIRM[r.confirm])}`)) {
      return edit({ ...request, [r.confirm === 'voltage' ? 'accept_voltage' : 'faster']: true }, refusalAt);
    }
  }
  if (r.error) {
    render();  // the inputs show the image's values again
    say(r.error, true);
    if (request.key) {
      const again = document.querySelector(`#fields input[name="${CSS.escape(request.key)}"]`);
      if (again) again.parentElement.querySelector('.refusal').textContent = ' ' + r.error;
    }
    return;
  }
  takeImage(d, fromHex(r.image), r.analysis);
  render();
  say(describeResult(r));
  highlight(r.fields.flatMap((f) => f.bytes));
}

async function download() {
  const d = doc();
  if (!d) return say(t('no_image'), true);
  let blob, name = d.name.replace(/\.[^.]*$/, '');
  if ($('#as-text').checked) {
    const r = await api('/api/textdump', { image: toHex(d.image) });
    if (r.error) return say(r.error, true);
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
  d.saved = d.image;
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
  const place = (x) => `0x${x.from.toString(16).toUpperCase()}${x.to !== x.from ? '-0x' + x.to.toString(16).toUpperCase() : ''}`;
  $('#diff').innerHTML = r.runs.map((x) => `<li class="link" data-from="${x.from}" data-to="${x.to}">${place(x)}` +
    `${x.fields ? ' (' + escapeHtml(x.fields) + ')' : ''}</li>`).join('') +
    `<li>${r.runs.length === 0 && r.same_size ? t('same') : t('differ', r.runs.length, r.bytes)}</li>`;
  render();
}

async function kit() {
  if (state.docs.length < 2) return say(t('need_kit'), true);
  const r = await api('/api/kit', { images: state.docs.map((d) => ({ name: d.name, image: toHex(d.image) })) });
  $('#kit-box').hidden = false;
  $('#kit').textContent = [r.text, r.error].filter((x) => typeof x === 'string' && x).join('\n');
}

function showByte(el) {
  const d = doc();
  if (!d || d.analysis.error) return;
  const o = Number(el.dataset.offset);
  const f = state.fields.get(o);
  const value = f && f.settable ? f.settable.value : '';
  // What the decode says of it, where a line of the decode carries the field's name.
  const line = f ? d.analysis.sections.flatMap((x) => x.lines).find(([label]) => label === f.name) : null;
  $('#byte-info').textContent = `0x${o.toString(16).toUpperCase()} (${o}) = 0x${el.textContent}` +
    (f ? ` · ${f.key} · ${f.name}${value ? ' = ' + value : ''}${line ? ' · ' + line[1] : ''}` : '');
  if (f) highlight(offsetsOfKey(d.analysis, f.key));
}

const editActions = {
  undo: () => step('undo', 'redo'),
  redo: () => step('redo', 'undo'),
  close: closeDoc,
  download,
  compare,
  kit,
  fix: () => edit({ op: 'fix' }),
  rebin: () => edit({ op: 'rebin', speed: $('#rebin-speed').value }),
  promote: () => edit({ op: 'promote', profile: $('#promote-profile').value, accept_voltage: false }),
};
