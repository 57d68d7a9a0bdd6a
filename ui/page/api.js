// The server's JSON API, and the one place that shows what went wrong. Every answer is an object;
// a failure of any kind (no connection, an HTTP error, a refusal) has a text in `error`.
'use strict';

async function api(path, body) {
  const options = body === undefined ? {} : {
    method: 'POST',
    headers: { 'Content-Type': body instanceof ArrayBuffer ? 'application/octet-stream' : 'application/json' },
    body: body instanceof ArrayBuffer ? body : JSON.stringify(body),
  };
  let r;
  try {
    r = await fetch(path, options);
  } catch (e) {
    return { error: t('unreachable'), unreachable: true };
  }
  let answer = null;
  try { answer = await r.json(); } catch (e) { answer = null; }
  if (answer && typeof answer === 'object' && !Array.isArray(answer)) {
    if (!r.ok && typeof answer.error !== 'string') answer.error = `HTTP ${r.status}`;
    return answer;
  }
  return { error: r.status === 413 ? t('too_big') : `HTTP ${r.status}` };
}

function toHex(bytes) { return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join(''); }
function fromHex(hex) {
  const out = new Uint8Array(hex.length / 2);
  for (let i = 0; i < out.length; i++) out[i] = parseInt(hex.substr(2 * i, 2), 16);
  return out;
}

const $ = (sel) => document.querySelector(sel);

// Where each kind of answer is shown: an edit's in the side panel, the programmer's on its row.
const PLACES = { edit: '#message', programmer: '#op-error' };

// Shows `text` (a refusal when `refused`) in its place and brings it into view.
function show(place, text, refused) {
  const el = $(PLACES[place]);
  el.textContent = text || '';
  if (place === 'edit') el.className = refused ? 'refused' : '';
  if (text) el.scrollIntoView({ block: 'nearest' });
}
function say(text, refused) { show('edit', text, refused); }
