// The side panels drawn from the server's analysis of an image: summary, checks, profiles, the
// full decode and the edit form. An image the server cannot decode leaves every panel empty.
'use strict';

function hex4(v) { return '0x' + v.toString(16).toUpperCase().padStart(4, '0'); }

function lineRows(lines, analysis) {
  return lines.map(([label, value]) => {
    const f = analysis.layout.find((x) => x.name === label);
    const key = f ? ` class="link" data-key="${escapeHtml(f.key)}"` : '';
    return `<tr><th${key}>${escapeHtml(label)}</th><td>${escapeHtml(value)}</td></tr>`;
  }).join('');
}

function clearDecode() {
  for (const id of ['#summary', '#checks', '#profiles', '#sections', '#fields', '#promote-profile']) $(id).innerHTML = '';
  $('[data-action=fix]').hidden = true;
}

function renderDecode(a) {
  clearDecode();
  if (!a || a.error) return;
  $('#summary').innerHTML = lineRows(a.summary, a);
  const checks = a.checksums.map((c) => `<li class="link ${c.ok ? 'ok' : 'bad'}" data-from="${c.from}" data-to="${c.to}" data-at="${c.at}">` +
    `${escapeHtml(c.name)}: ${c.from}-${c.to} @ ${c.at}: ${hex4(c.stored)} / ${hex4(c.computed)} ${c.ok ? '✓' : '✗'}</li>`);
  for (const w of a.strict) {
    const keys = a.layout.filter((f) => f.key && w.includes(f.name)).map((f) => f.key);
    checks.push(`<li class="link bad" data-keys="${escapeHtml(keys.join(' '))}">${escapeHtml(t('strict'))}: ${escapeHtml(w)}</li>`);
  }
  if (a.area === 'reg') checks.push(`<li>${escapeHtml(t('reg_no_checksums'))}</li>`);
  $('#checks').innerHTML = checks.join('');
  $('[data-action=fix]').hidden = !a.checksums.some((c) => !c.ok);
  const p = a.profiles;
  $('#profiles').innerHTML = p.length === 0 ? `<tr><td>${t('no_profiles')}</td></tr>` :
    '<tr><th></th><th>MT/s</th><th>CL-tRCD-tRP-tRAS</th><th>V</th></tr>' + p.map((x) =>
      `<tr><th>${escapeHtml(x.kind)} ${x.number}${x.name ? `<br><small>${escapeHtml(x.name)}</small>` : ''}</th><td>${x.rate}</td>` +
      `<td>${x.cl}-${x.trcd}-${x.trp}-${x.tras}</td><td>${Object.values(x.voltages).map((v) => `<span>${escapeHtml(v.label)} ${v.volts.toFixed(3)}</span>`).join(', ')}</td></tr>`).join('');
  $('#promote-profile').innerHTML = p.map((x) => `<option value="${escapeHtml(x.id)}">${escapeHtml(x.kind)} ${x.number}</option>`).join('');
  $('#sections').innerHTML = a.sections.map((s) => `<h4>${escapeHtml(s.title)}</h4><table>${lineRows(s.lines, a)}</table>`).join('');
  // Each field with its unit and the values it takes.
  $('#fields').innerHTML = a.settables.map((s) =>
    `<div class="field"><label class="link" data-key="${escapeHtml(s.key)}" title="${escapeHtml(s.key)}">${escapeHtml(s.name)}</label>` +
    `<input name="${escapeHtml(s.key)}" value="${escapeHtml(s.value)}">` +
    `<span class="hint">${escapeHtml(s.range && s.range !== s.unit ? s.range : s.unit)}<span class="refusal"></span></span></div>`).join('');
}
