// The programmer: reads, plans and writes run on the server, one at a time. A write is never
// worked out here: the page asks the server for a plan, shows it, and confirming sends the plan's
// id; the server writes exactly that plan, or refuses when the module changed since. The page only
// starts operations and follows them; reopened, it shows how the last one ended and every failed
// write that still has its backup to give back.
'use strict';

const bench = { backupDir: '', plan: null, last: null };
let polling = false;

function target() {
  return {
    port: $('input[name=port]').value.trim(),
    generation: Number($('select[name=generation]').value),
    area: $('select[name=area]').value,
  };
}

function sleep(ms) { return new Promise((r) => setTimeout(r, ms)); }

function showOperation(s) {
  if (!s || !s.kind) return;
  const progress = $('#progress');
  progress.hidden = false;
  if (s.total > 0) { progress.max = s.total; progress.value = s.done; } else if (s.running) progress.removeAttribute('value');
  else { progress.max = 1; progress.value = s.error ? 0 : 1; }
  const doing = { read: t('reading'), plan: t('planning'), write: `${t('writing')} ${s.done} / ${s.total}`, restore: `${t('restoring')} ${s.done} / ${s.total}` };
  $('#op-status').textContent = s.running ? doing[s.kind] || '' : (s.error ? t('failed') : t('done'));
  const box = $('#outcome');
  box.hidden = false;
  box.dataset.kind = s.kind;
  box.dataset.running = s.running ? '1' : '0';
  box.classList.toggle('failed', !!s.error);
  const lines = [];
  if (s.backup) lines.push(t('backup') + s.backup);
  if (s.log) lines.push(s.log.trim());
  if (s.error) lines.push(s.error);
  $('#outcome-text').textContent = lines.join('\n');
}

// The failed writes the server keeps, each with its backup to write back (to the port in the page).
// The one the outcome above has just told is not told twice.
function showFailures(failures, s) {
  $('#failures').innerHTML = (failures || []).map((f) => {
    const told = s && s.error && !s.running && s.port === f.port && s.error === f.error;
    const lines = [t(f.written > 0 ? 'failure_head' : 'refused_head', f.port, f.generation, f.area.toUpperCase()), told ? '' : f.error,
      f.backup ? t('backup') + f.backup : t('no_backup')].filter(Boolean);
    return `<div class="failure" data-port="${escapeHtml(f.port)}"><pre>${escapeHtml(lines.join('\n'))}</pre>` +
      (f.restorable ? `<button data-action="restore" data-port="${escapeHtml(f.port)}">${escapeHtml(t('restore'))}</button>` : '') +
      `<button data-action="dismiss" data-port="${escapeHtml(f.port)}">${escapeHtml(t('dismiss'))}</button></div>`;
  }).join('');
}

function showStatus(s) {
  if (!s) return;
  bench.last = s;
  showOperation(s);
  showFailures(s.failures, s);
}

// Follows the operation until it ends; a failed poll (the server busy, a connection refused) is
// said and tried again, never the end of following.
async function follow(onDone) {
  if (polling) return;
  polling = true;
  let s;
  for (;;) {
    s = await api('/api/status');
    if (s.error && s.running === undefined) {
      $('#op-status').textContent = t('lost');
      await sleep(1000);
      continue;
    }
    showStatus(s);
    if (!s.running) break;
    await sleep(100);
  }
  polling = false;
  if (onDone) await onDone(s);
}

async function startOperation(path, body, onDone) {
  const r = await api(path, body);
  show('programmer', r.error);
  if (r.error) return;
  follow(onDone);
}

function hidePlan() {
  $('#plan').hidden = true;
  $('#plan-body').innerHTML = '';
  bench.plan = null;
}

function addressList(addresses) {
  const shown = addresses.slice(0, 48).map((o) => '0x' + o.toString(16).toUpperCase()).join(' ');
  return addresses.length > 48 ? `${shown} …` : shown;
}

// The plan as the server made it: what it writes, to which module, and how.
function showPlan(p, d) {
  const area = p.area.toUpperCase();
  const lines = [`<p class="head">${escapeHtml(t(p.kind === 'restore' ? 'plan_restore' : 'plan_write', p.generation, area, p.port))}</p>`];
  lines.push(`<p>${escapeHtml(p.bytes === 0 ? t('plan_none') : t('plan_bytes', p.bytes, p.unchanged) + addressList(p.addresses))}</p>`);
  if (p.module) {
    lines.push(`<table class="identities"><tr><th>${escapeHtml(t('in_socket'))}</th><td>${escapeHtml(p.module.text)}</td></tr>` +
      `<tr><th>${escapeHtml(t(p.kind === 'restore' ? 'backup_of' : 'image_of'))}</th><td>${escapeHtml(p.image_identity.text)}</td></tr></table>`);
  }
  if (p.other_module) {
    lines.push(`<p class="bad">${escapeHtml(t('other_module', p.module.text, p.image_identity.text))}</p>`);
    lines.push(`<label><input type="checkbox" id="clone"> ${escapeHtml(t('clone'))}</label>`);
  }
  if (p.protection) lines.push(`<p>${escapeHtml(p.protection)}</p>`);
  lines.push(`<p>${escapeHtml(t('plan_steps', p.backup_dir, p.bytes))}</p>`);
  const body = $('#plan-body');
  body.innerHTML = `<div data-plan data-bytes="${p.bytes}"${p.other_module ? ' data-other-module' : ''}>${lines.join('')}</div>`;
  $('#plan').hidden = false;
  bench.plan = { ...p, doc: d, image: d ? d.image : null };
  planReady();
  $('#plan').scrollIntoView({ block: 'nearest' });
}

// Confirming a clone needs its checkbox.
function planReady() {
  const p = bench.plan;
  const clone = $('#clone');
  $('[data-action=confirm-write]').disabled = !p || (p.other_module && !(clone && clone.checked));
}

const benchActions = {
  read: () => {
    const tg = target();
    hidePlan();
    startOperation('/api/read', tg, async (s) => {
      if (s.kind !== 'read' || s.error || !s.image) return;
      const bytes = fromHex(s.image);
      await addDoc(`${t('module')} DDR${tg.generation} ${tg.area.toUpperCase()}`, bytes, { baseline: bytes, target: tg });
    });
  },
  write: () => {
    const d = doc();
    if (!d) return show('programmer', t('no_image'), true);
    hidePlan();
    startOperation('/api/plan', { image: toHex(d.image), ...target() }, async (s) => {
      if (s.kind === 'plan' && !s.error && s.plan) showPlan(s.plan, d);
    });
  },
  'confirm-write': () => {
    const p = bench.plan;
    if (!p) return;
    const clone = !!($('#clone') && $('#clone').checked);
    hidePlan();
    startOperation('/api/write', { plan: p.id, clone }, async (s) => {
      if (s.error || !p.doc || p.kind !== 'write') return;
      p.doc.baseline = p.image;
      p.doc.saved = p.image;
    });
  },
  'cancel-write': hidePlan,
  restore: (button) => {
    hidePlan();
    startOperation('/api/plan', { restore: button.dataset.port, port: target().port }, async (s) => {
      if (s.kind === 'plan' && !s.error && s.plan) showPlan(s.plan, null);
    });
  },
  dismiss: async (button) => {
    const r = await api('/api/dismiss', { port: button.dataset.port });
    if (r.error) return show('programmer', r.error, true);
    showStatus(await api('/api/status'));
  },
};

async function startBench(s) {
  bench.backupDir = s.backup_dir || '';
  if (s.programmer) $('input[name=port]').value = s.programmer;
  api('/api/ports').then((r) => {
    if (r.ports) $('#ports').innerHTML = r.ports.map((p) =>
      `<option value="${escapeHtml(p.name)}">${escapeHtml([p.transport, p.vid_pid, p.manufacturer, p.description].filter((x) => x && x !== '-').join(' '))}</option>`).join('');
  });
  const now = await api('/api/status');
  if (now.running !== undefined) showStatus(now);
  if (now.running) follow(null);
}
