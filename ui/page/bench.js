// The programmer: reads and careful writes run on the server, one at a time. The page only starts
// them and follows them; reopened, it shows how the last one ended.
'use strict';

let backupDir = '';
let polling = false;

function target() {
  return {
    port: document.querySelector('input[name=port]').value.trim(),
    generation: Number(document.querySelector('select[name=generation]').value),
    area: document.querySelector('select[name=area]').value,
  };
}

function showOutcome(s) {
  const box = document.querySelector('#outcome');
  const progress = document.querySelector('#progress');
  const status = document.querySelector('#op-status');
  if (!s.kind) return;
  progress.hidden = false;
  if (s.total > 0) { progress.max = s.total; progress.value = s.done; } else if (s.running) progress.removeAttribute('value');
  else { progress.max = 1; progress.value = s.error ? 0 : 1; }
  status.textContent = s.running ? (s.kind === 'read' ? t('reading') : `${t('writing')} ${s.done} / ${s.total}`) :
    (s.error ? t('failed') : t('done'));
  box.hidden = false;
  box.dataset.kind = s.kind;
  box.dataset.running = s.running ? '1' : '0';
  box.classList.toggle('failed', !!s.error);
  const lines = [];
  if (s.backup) lines.push(t('backup') + s.backup);
  if (s.log) lines.push(s.log.trim());
  if (s.error) lines.push(s.error);
  document.querySelector('#outcome-text').textContent = lines.join('\n');
  document.querySelector('[data-action=restore]').hidden = !(s.error && s.backup && s.kind === 'write');
}

async function follow(onDone) {
  if (polling) return;
  polling = true;
  for (;;) {
    const s = await api('/api/status');
    showOutcome(s);
    if (!s.running) {
      polling = false;
      if (onDone) await onDone(s);
      return;
    }
    await new Promise((r) => setTimeout(r, 100));
  }
}

async function startOperation(path, body, onDone) {
  const r = await api(path, body);
  document.querySelector('#op-error').textContent = r.error ? r.error : '';
  if (r.error) return;
  follow(onDone);
}

const benchActions = {
  read: () => {
    const tg = target();
    startOperation('/api/read', tg, async (s) => {
      if (!s.image) return;
      const bytes = fromHex(s.image);
      await addDoc(`${t('module')} DDR${tg.generation} ${tg.area.toUpperCase()}`, bytes, { baseline: bytes, target: tg });
    });
  },
  write: async () => {
    const d = doc();
    if (!d) return say(t('no_image'), true);
    const tg = target();
    const lines = [];
    if (d.baseline) {
      const changed = [];
      for (let i = 0; i < d.image.length; i++) if (d.image[i] !== d.baseline[i]) changed.push(i);
      lines.push(changed.length === 0 ? t('plan_none') :
        t('plan_head', changed.length, tg.generation, tg.area.toUpperCase()) + changed.map((o) => '0x' + o.toString(16).toUpperCase()).join(' '));
    } else {
      lines.push(t('plan_unknown'));
    }
    const c = await api('/api/checks', { image: toHex(d.image), ...tg });
    lines.push(c.error ? c.error : (c.ok ? t('checks_ok') : t('checks_bad') + c.reason));
    lines.push(t('plan_steps', backupDir));
    const show = (blocked) => {
      document.querySelector('#plan-text').textContent = lines.join('\n');
      document.querySelector('#plan').hidden = false;
      document.querySelector('[data-action=confirm-write]').disabled = !!c.error || !c.ok || blocked;
      state.pendingWrite = blocked ? null : { image: d.image, target: tg, doc: d };
    };
    if (tg.generation !== 5 || tg.area !== 'spd' || !tg.port) return show(false);
    // The hub's block protection, read first: the write would refuse a protected block's bytes.
    startOperation('/api/read', { ...tg, area: 'reg' }, async (s) => {
      if (!s.image) return show(false);
      const p = await api('/api/protection', { registers: s.image });
      if (p.error || p.blocks.length === 0) { lines.push(t('no_protection')); return show(false); }
      const hit = d.baseline ? d.image.findIndex((v, i) => v !== d.baseline[i] && p.blocks.includes(Math.floor(i / p.block_size))) : -1;
      lines.push(t('protected', p.blocks.join(', ')));
      show(hit >= 0);
    });
  },
  'confirm-write': () => {
    const w = state.pendingWrite;
    document.querySelector('#plan').hidden = true;
    if (!w) return;
    state.pendingWrite = null;
    startOperation('/api/write', { image: toHex(w.image), ...w.target }, async (s) => {
      if (!s.error) w.doc.baseline = w.image;
    });
  },
  'cancel-write': () => { document.querySelector('#plan').hidden = true; state.pendingWrite = null; },
  restore: () => startOperation('/api/restore', {}, null),
};

async function startBench(s) {
  backupDir = s.backup_dir;
  if (s.programmer) document.querySelector('input[name=port]').value = s.programmer;
  api('/api/ports').then((r) => {
    if (r.ports) document.querySelector('#ports').innerHTML = r.ports.map((p) =>
      `<option value="${escapeHtml(p.name)}">${escapeHtml([p.transport, p.vid_pid, p.manufacturer, p.description].filter((x) => x && x !== '-').join(' '))}</option>`).join('');
  });
  const now = await api('/api/status');
  showOutcome(now);
  if (now.running) follow(null);
}
