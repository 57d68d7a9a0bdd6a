// The hex view: 16 bytes a row, each byte an element carrying its offset, its field's key and,
// on checksum bytes, whether the checksum holds. Which byte is which field comes from the
// server's layout tables (analysis.layout, analysis.settables), never from the page.
'use strict';

// offset → {key, name, colour, settable} for every byte a field covers. A settable's key wins, as
// that is the key the edit form and `set` use; the layout names the rest.
function fieldMap(analysis) {
  const map = new Map();
  const colours = new Map();
  const colour = (key) => {
    if (!colours.has(key)) colours.set(key, colours.size % 8);
    return colours.get(key);
  };
  for (const s of analysis.settables) {
    for (const o of s.offsets) if (!map.has(o)) map.set(o, { key: s.key, name: s.name, colour: colour(s.key), settable: s });
  }
  for (const f of analysis.layout) {
    if (!f.key) continue;
    for (let o = f.offset; o < f.offset + f.length; o++) {
      if (!map.has(o)) map.set(o, { key: f.key, name: f.name, colour: colour(f.key), field: f });
    }
  }
  return map;
}

function crcMap(analysis) {
  const crc = new Map();
  for (const c of analysis.checksums) {
    crc.set(c.at, c);
    crc.set(c.at + 1, c);
  }
  return crc;
}

function hex2(v) { return v.toString(16).toUpperCase().padStart(2, '0'); }

function escapeHtml(s) {
  return String(s).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

// Draws `bytes` into `el`. `marks`: {edited: Set, diff: Set}.
function renderHex(el, bytes, analysis, marks) {
  const fields = analysis ? fieldMap(analysis) : new Map();
  const crc = analysis ? crcMap(analysis) : new Map();
  const parts = [];
  for (let row = 0; row < bytes.length; row += 16) {
    parts.push(`<div class="row"><span class="addr">${row.toString(16).toUpperCase().padStart(4, '0')}</span>`);
    for (let o = row; o < Math.min(row + 16, bytes.length); o++) {
      const f = fields.get(o);
      const c = crc.get(o);
      let attrs = `data-offset="${o}"`;
      let cls = 'b';
      if (f) {
        attrs += ` data-field="${escapeHtml(f.key)}"`;
        cls += ` f${f.colour}`;
      }
      if (c) attrs += ` data-crc="${c.ok ? 'ok' : 'bad'}"`;
      if (marks.edited && marks.edited.has(o)) cls += ' edited';
      if (marks.diff && marks.diff.has(o)) attrs += ' data-diff=""';
      parts.push(`<span class="${cls}" ${attrs}>${hex2(bytes[o])}</span>`);
    }
    parts.push('</div>');
  }
  el.innerHTML = parts.join('');
  return fields;
}

// Marks the bytes of `offsets` in every hex view.
function highlight(offsets) {
  for (const el of document.querySelectorAll('.hex span.hl')) el.classList.remove('hl');
  for (const o of offsets) {
    for (const el of document.querySelectorAll(`.hex span[data-offset="${o}"]`)) el.classList.add('hl');
  }
}

function offsetsOfKey(analysis, key) {
  const s = analysis.settables.find((x) => x.key === key);
  if (s) return s.offsets;
  const f = analysis.layout.find((x) => x.key === key);
  if (!f) return [];
  return Array.from({ length: f.length }, (_, i) => f.offset + i);
}
