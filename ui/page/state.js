// The images open in the page, each with its own undo and redo: view state only. Every analysis
// and every new image comes from the server.
'use strict';

const state = { docs: [], current: -1, compare: null, fields: new Map() };

function doc() { return state.docs[state.current]; }

function sameBytes(a, b) { return a.length === b.length && a.every((v, i) => v === b[i]); }

// Edits not yet downloaded or written to a module.
function unsaved(d) { return !sameBytes(d.image, d.saved); }

async function addDoc(name, bytes, extra) {
  const d = { name, image: bytes, original: bytes, saved: bytes, undo: [], redo: [], analysis: null, ...extra };
  d.analysis = await api('/api/analyse', { image: toHex(bytes) });
  state.docs.push(d);
  state.current = state.docs.length - 1;
  state.compare = null;
  render();
  return d;
}

function closeDoc() {
  const d = doc();
  if (!d) return;
  if (unsaved(d) && !window.confirm(t('close_unsaved', d.name))) return;
  state.docs.splice(state.current, 1);
  state.current = Math.min(state.current, state.docs.length - 1);
  state.compare = null;
  say('');
  render();
}

// The image after an edit of the server, with the analysis that came with it.
function takeImage(d, image, analysis) {
  d.undo.push(d.image);
  d.redo = [];
  d.image = image;
  d.analysis = analysis;
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

window.addEventListener('beforeunload', (e) => {
  if (!state.docs.some(unsaved)) return;
  e.preventDefault();
  e.returnValue = '';
});
