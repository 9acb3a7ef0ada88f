// Wires the page together: the state, the engine requests each control sends, and the views.
import { Bridge, errorText } from './bridge.js';
import { Status, ask, askEnvelope } from './status.js';
import { ProgressionState } from './progression_state.js';
import { SlotStrip } from './slot_strip.js';
import { KeyboardView } from './keyboard_view.js';
import { Player } from './playback.js';
import { buildMidiFile, downloadMidiFile } from './midi_file.js';
import { SuggestionsPanel } from './suggestions_panel.js';
import { ChordEditor } from './chord_editor.js';
import { WHOLE_NOTE } from './rhythm.js';
import { chartTokens, isNoChordMark, rewriteChartSymbol } from './chart_reader.js';
import { installShortcuts } from './shortcuts.js';
import { loadCatalogues } from './catalogues.js';
import { DiatonicPalette, QualityList } from './chord_lists.js';

const $ = (id) => document.getElementById(id);
const KEY_ROOTS = ['C', 'Db', 'D', 'Eb', 'E', 'F', 'F#', 'Gb', 'G', 'Ab', 'A', 'Bb', 'B', 'C#'];

const bridge = new Bridge();
const status = new Status({ messages: $('messages'), errors: $('errors'), busy: $('busy'), main: $('main') });
const state = new ProgressionState();
const player = new Player();
let rhythms = new Map();
let styleNames = new Map();

bridge.addEventListener('busy', (e) => status.setBusy(e.detail));
bridge.addEventListener('problem', (e) => status.error(e.detail.message));
bridge.addEventListener('bridge', (e) => {
  if (e.detail && e.detail.name === 'system_wake') {
    status.info('The computer woke from sleep; the engine is ready again.');
    ask(bridge, status, 'ready', {}, { quiet: true });
  }
});

const keyboardView = new KeyboardView({
  roll: $('piano-roll'), keyboard: $('keyboard'), notesText: $('voicing-notes'),
  onSelect: (i) => select(i),
});
const strip = new SlotStrip({
  container: $('slots'), state,
  onSelect: (i) => select(i),
  onAudition: (i) => audition(i),
  onRemove: () => removeSelected(),
});
const suggestions = new SuggestionsPanel({
  bridge, status, state, list: $('suggestions'), shuffle: $('shuffle'),
  onTake: (s, mode) => takeSuggestion(s, mode),
});
const editor = new ChordEditor({
  bridge, status, state, container: $('modifiers'), bassInput: $('bass-note'), bassButton: $('bass-apply'),
  onChange: (chord) => replaceChord(chord),
});

const palette = new DiatonicPalette({ bridge, status, state, onInsert: (chord) => insertChord(chord) });
const qualityList = new QualityList({ bridge, status, state, onReplace: (chord) => replaceChord(chord) });

async function insertChord(chord) {
  state.insertAfterCursor(chord);
  syncField();
  await voice();
  status.info(`Inserted ${chord}.`);
}

async function replaceChord(chord) {
  state.replaceAtCursor(chord);
  syncField();
  await voice();
  status.info(`The chord is now ${chord}.`);
}

function refreshPalette() { return palette.refresh(); }

// ---- key and options -----------------------------------------------------------------------
function keyPayload() { return { root: state.key.root, mode: state.key.mode, minorScaleType: state.key.minorScaleType }; }

function showKey() {
  const rootSelect = $('key-root');
  if (![...rootSelect.options].some((o) => o.value === state.key.root)) rootSelect.append(new Option(state.key.root, state.key.root));
  rootSelect.value = state.key.root;
  $('key-mode').value = state.key.mode;
  $('key-scale').value = state.key.minorScaleType;
  $('key-scale').disabled = state.key.mode !== 'minor';
}

function syncField() {
  $('progression-text').value = state.text();
  $('progression-text').removeAttribute('aria-invalid');
}

function render() {
  keyboardView.preview = null;
  strip.render();
  keyboardView.render(state);
  const slot = state.selected;
  $('slot-anchor').setAttribute('aria-pressed', slot && slot.anchor ? 'true' : 'false');
  $('slot-anchor').disabled = !slot;
  $('slot-remove').disabled = !slot;
  $('slot-left').disabled = !slot || state.cursor === 0;
  $('slot-right').disabled = !slot || state.cursor >= state.slots.length - 1;
  const inversion = $('slot-inversion');
  inversion.disabled = !slot;
  inversion.max = String(slot ? Math.max(0, slot.maxInversion) : 0);
  inversion.value = String(slot ? slot.inversion : 0);
}

// ---- reading, voicing ------------------------------------------------------------------------
// The field is read as a chart: bar lines give each chord its share of a bar, chart spellings
// the engine's catalogue does not hold are read as catalogue spellings, and a chord the engine
// cannot read stays in its place, marked, while the others are voiced and played.
async function readAndVoice() {
  const field = $('progression-text');
  const text = field.value.trim();
  if (text === '') { state.setChords([]); render(); status.info('The progression is empty.'); return; }
  const entries = chartTokens(text).map((t) => ({
    typed: t.text, share: t.share, rest: isNoChordMark(t.text),
    chord: t.text === '%' || isNoChordMark(t.text) ? null : rewriteChartSymbol(t.text) || t.text,
  }));
  if (entries.length === 0) { state.setChords([]); render(); status.info('The progression holds no chords.'); return; }
  const chords = entries.filter((e) => e.chord !== null).map((e) => e.chord);
  const envelope = await askEnvelope(bridge, status, 'parse_progression', { progression: chords.join(' '), key: keyPayload(), spellingPreference: state.spelling, include_intervals: false });
  if (!envelope) return;
  const payload = envelope.payload || {};
  if (!envelope.ok && !Array.isArray(payload.errors)) {
    field.setAttribute('aria-invalid', 'true');
    status.error(errorText(envelope));
    return;
  }
  if (!envelope.ok && payload.error) {
    status.error(errorText(envelope));
    return;
  }
  // The engine answers in text order; a chord it read comes back as its record.
  const records = Array.isArray(payload.chords) ? payload.chords : [];
  let next = 0;
  let last = null;
  for (const e of entries) {
    if (e.rest) {
      Object.assign(e, { chord: e.typed, unread: true });
      last = e;
    } else if (e.chord === null) {
      Object.assign(e, last ? { chord: last.chord, record: last.record, rest: last.rest, unread: last.rest } : { chord: '%', unread: true });
    } else if (records[next] && records[next].original === e.chord) {
      e.record = records[next];
      next += 1;
      last = e;
    } else {
      e.unread = true;
    }
  }
  state.setChart(entries.map((e) => ({ chord: e.chord, typed: e.typed, unread: Boolean(e.unread), rest: Boolean(e.rest), share: e.share })));
  entries.forEach((e, i) => { state.slots[i].roman = e.record ? e.record.roman || '' : ''; });
  const skipped = entries.filter((e) => e.unread && !e.rest).map((e) => `“${e.typed}”`);
  if (skipped.length) field.setAttribute('aria-invalid', 'true'); else field.removeAttribute('aria-invalid');
  await voice();
  if (skipped.length) {
    status.error(`Could not read ${skipped.length === 1 ? 'the chord' : 'the chords'} ${skipped.join(', ')}; ${skipped.length === 1 ? 'it is' : 'they are'} skipped and the others play.`);
  }
}

function slotPayload(slot) {
  const entry = {
    chord: slot.chord, style: state.options.style, octave: state.options.octave,
    inversion: slot.inversion, drop_bass: state.options.dropBass, auto_voiced: !slot.anchor,
  };
  if (slot.anchor && slot.manual && slot.manual.length) entry.manual_midi = slot.manual;
  return entry;
}

async function voice() {
  if (state.slots.length === 0) { render(); return; }
  // Chords the engine cannot read are left out of the request and stay silent in place.
  const readable = state.slots.filter((slot) => !slot.unread);
  for (const slot of state.slots) if (slot.unread) Object.assign(slot, { notes: [], labels: [], display: slot.typed, maxInversion: 0 });
  if (readable.length === 0) { state.voiced = true; render(); return; }
  const reply = await ask(bridge, status, 'generate_progression', {
    slots: readable.map(slotPayload),
    auto_voice_lead: state.options.autoVoiceLead,
    allow_bass_changes: state.options.allowBassChanges,
    key: keyPayload(),
    spellingPreference: state.spelling,
    source: 'page',
  });
  if (!reply) { render(); return; }
  const voicings = reply.voicings || [];
  readable.forEach((slot, i) => {
    slot.notes = Array.isArray(voicings[i]) ? voicings[i] : [];
    slot.display = (reply.display_symbols || [])[i] || slot.chord;
    const roman = (reply.display_romans || [])[i];
    if (typeof roman === 'string') slot.roman = roman;
    slot.labels = (reply.display_note_labels || [])[i] || [];
    slot.maxInversion = Number((reply.max_manual_inversions || [])[i]) || 0;
  });
  state.voiced = true;
  status.clearError();
  render();
  const skipped = state.slots.filter((slot) => slot.unread && !slot.rest).length;
  status.info(`Voiced ${readable.length} chord${readable.length === 1 ? '' : 's'}${state.options.autoVoiceLead ? ' with voice leading' : ''}${skipped ? `, skipped ${skipped} the engine cannot read` : ''}.`);
  await refreshSelection();
}

// ---- the selected chord ----------------------------------------------------------------------
// Moving through the chords quickly asks the engine only about the chord where the cursor stops.
let selectionTimer = null;
function select(i) {
  state.setCursor(i);
  render();
  if (selectionTimer === null) bridge.setOutstanding(+1); // the look-up to come counts as work
  clearTimeout(selectionTimer);
  selectionTimer = setTimeout(() => refreshSelection(), 150);
}

async function refreshSelection() {
  if (selectionTimer !== null) {
    clearTimeout(selectionTimer);
    selectionTimer = null;
    bridge.setOutstanding(-1);
  }
  await Promise.all([showChordFacts(), editor.refresh(), suggestions.refresh()]);
}

async function showChordFacts() {
  const slot = state.selected;
  const facts = $('chord-facts');
  const hint = $('style-hint');
  if (!slot) { facts.textContent = ''; hint.textContent = ''; return; }
  if (slot.rest) { facts.textContent = `${slot.typed}: no chord plays here.`; hint.textContent = ''; return; }
  const parsed = await ask(bridge, status, 'parse_chord', { chord: slot.chord }, { quiet: true });
  const relevant = await ask(bridge, status, 'get_relevant_voicings', { chord: slot.chord }, { quiet: true });
  if (state.selected !== slot) return;
  const name = slot.typed && slot.typed !== slot.chord ? `${slot.typed} read as ${slot.chord}` : slot.chord;
  facts.textContent = parsed
    ? `${name}: root ${parsed.root}, quality ${parsed.quality}, ${parsed.category}${parsed.bass ? `, bass ${parsed.bass}` : ''}.`
    : `${slot.typed || slot.chord} is not a chord the engine reads; it is skipped when the progression is voiced and played.`;
  const styles = relevant && Array.isArray(relevant.styles) ? relevant.styles : [];
  if (styles.length === 0) { hint.textContent = ''; return; }
  const intro = document.createElement('span');
  intro.textContent = `Hear ${slot.chord} in a style that suits it: `;
  const buttons = styles.map((id) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'chip style-preview';
    b.dataset.style = id;
    b.textContent = styleNames.get(id) || id;
    b.setAttribute('aria-label', `Hear ${slot.chord} voiced ${styleNames.get(id) || id}`);
    b.addEventListener('click', () => previewStyle(slot, id));
    return b;
  });
  hint.replaceChildren(intro, ...buttons);
}

// One chord in another style, heard and shown on the keyboard, without changing the progression.
// Voiced as a progression of one chord, so that its notes come spelled for the key.
async function previewStyle(slot, style) {
  const reply = await ask(bridge, status, 'generate_progression', {
    slots: [{ chord: slot.chord, style, octave: state.options.octave, inversion: slot.inversion, drop_bass: state.options.dropBass }],
    key: keyPayload(), spellingPreference: state.spelling, source: 'page',
  });
  const notes = reply && Array.isArray(reply.voicings) ? reply.voicings[0] : null;
  if (!Array.isArray(notes) || notes.length === 0) return;
  const labels = (reply.display_note_labels || [])[0] || [];
  keyboardView.preview = { notes, labels, label: `${slot.chord} in ${styleNames.get(style) || style}` };
  keyboardView.render(state);
  player.audition(notes);
}

function audition(i) {
  const slot = state.slots[i];
  if (slot && slot.notes.length) player.audition(slot.notes);
}

async function removeSelected() {
  if (!state.selected) return;
  const gone = state.selected.chord;
  state.removeAtCursor();
  syncField();
  await voice();
  status.info(`Removed ${gone}.`);
  strip.focusSelected();
}

async function takeSuggestion(s, mode) {
  if (mode === 'replace') state.replaceAtCursor(s.symbol); else state.insertAfterCursor(s.symbol);
  syncField();
  await voice();
  status.info(`${mode === 'replace' ? 'Replaced the chord with' : 'Inserted'} ${s.symbol}.`);
}

// ---- progression tools -----------------------------------------------------------------------
async function detectKey() {
  // The chords as the engine reads them (chart spellings rewritten), unread ones left out.
  const typed = $('progression-text').value.trim();
  const text = (typed ? chartTokens(typed).map((t) => rewriteChartSymbol(t.text) || t.text) : state.slots.filter((s) => !s.unread).map((s) => s.chord))
    .filter((chord) => !state.slots.some((s) => s.unread && s.typed === chord)).join(' ');
  const reply = await ask(bridge, status, 'detect_key', { progression: text, spellingPreference: state.spelling });
  if (!reply) return;
  state.key = { root: reply.root, mode: reply.mode, minorScaleType: reply.minorScaleType || 'natural' };
  showKey();
  await voice();
  refreshPalette();
  status.info(`The key is ${reply.root} ${reply.mode}.`);
}

async function transpose(semitones) {
  if (state.slots.length === 0) return;
  const reply = await ask(bridge, status, 'transpose_progression', { chords: state.slots.map((s) => s.chord), key: keyPayload(), semitones, spellingPreference: state.spelling });
  if (!reply || !Array.isArray(reply.chords)) return;
  const anchors = state.slots.map((s) => s.anchor);
  state.setChords(reply.chords.map((c) => c.symbol), { keepTiming: true });
  state.slots.forEach((s, i) => { s.anchor = anchors[i]; s.roman = reply.chords[i].roman || ''; });
  if (reply.key && reply.key.root) state.key = { root: reply.key.root, mode: reply.key.mode, minorScaleType: reply.key.minorScaleType || 'natural' };
  showKey();
  syncField();
  await voice();
  refreshPalette();
  status.info(`Transposed ${semitones > 0 ? 'up' : 'down'} to ${state.key.root} ${state.key.mode}.`);
}

async function recalculate(oldKey) {
  if (state.slots.length === 0) return;
  const payload = { chords: state.slots.map((s) => s.chord), key: keyPayload(), spellingPreference: state.spelling };
  if (oldKey) Object.assign(payload, { oldMode: oldKey.mode, oldMinorScaleType: oldKey.minorScaleType, keyLinked: true });
  const reply = await ask(bridge, status, 'recalculate_romans', payload);
  if (!reply || !Array.isArray(reply.chords)) return;
  if (oldKey) {
    state.setChords(reply.chords.map((c) => c.symbol), { keepTiming: true });
    syncField();
  }
  reply.chords.forEach((c, i) => { if (state.slots[i]) state.slots[i].roman = c.roman || ''; });
  render();
  // The numerals above read the chords as written; a voiced chord's numeral names the bass
  // that sounds (an inversion reads Imaj7/F#), and voicing again brings those back.
  await voice();
  status.info(oldKey ? `Moved the chords into ${state.key.root} ${state.key.mode}.` : 'Recalculated the numerals.');
}

async function onKeyChange(kind) {
  const oldKey = { ...state.key };
  state.key = { root: $('key-root').value, mode: $('key-mode').value, minorScaleType: $('key-scale').value };
  showKey();
  const modeMoved = oldKey.mode !== state.key.mode || (state.key.mode === 'minor' && oldKey.minorScaleType !== state.key.minorScaleType);
  if (kind === 'mode' && modeMoved && $('key-linked').checked) await recalculate(oldKey);
  else await voice();
  refreshPalette();
}

async function copyProgression() {
  const text = state.text() || $('progression-text').value.trim();
  const reply = await ask(bridge, status, 'write_clipboard', { text });
  if (reply) status.info(text ? `Copied “${text}” to the clipboard.` : 'Emptied the clipboard.');
}

async function pasteProgression() {
  const reply = await ask(bridge, status, 'read_clipboard', {});
  if (!reply) return;
  const text = typeof reply.text === 'string' ? reply.text : '';
  if (!text) { status.info('The clipboard is empty.'); return; }
  $('progression-text').value = text.replace(/\s+/g, ' ');
  await readAndVoice();
}

// ---- generation ------------------------------------------------------------------------------
async function generate() {
  const autoKey = $('auto-key').checked;
  const reply = await ask(bridge, status, 'generate_local_progression', {
    genre: $('genre').value, length: Number($('length').value), auto_key: autoKey,
    key: { root: state.key.root, mode: state.key.mode }, temperature: Number($('temperature').value),
    spellingPreference: state.spelling,
  });
  if (!reply || !Array.isArray(reply.chords)) return;
  state.setChords(reply.chords);
  reply.chords.forEach((_, i) => { state.slots[i].roman = (reply.roman || [])[i] || ''; });
  state.cursor = 0;
  syncField();
  if (autoKey) await detectKey(); else await voice();
  status.info(`Generated ${reply.genre}${autoKey ? ` in ${state.key.root} ${state.key.mode}` : ''}: ${reply.chords.join(' ')}.`);
}

// ---- playback and the MIDI file --------------------------------------------------------------
function currentRhythm() { return rhythms.get($('rhythm').value) || WHOLE_NOTE; }

async function togglePlay() {
  if (player.playing) { player.stop(); return; }
  if (state.slots.length === 0) { status.info('There is nothing to play yet: type a progression or generate one.'); return; }
  if (!state.voiced) await voice();
  if (!state.voiced) return; // the voicing failed, and said why
  const started = player.play(state.slots, { rhythm: currentRhythm(), tempo: Number($('tempo').value), loop: $('loop').checked });
  if (started) { $('play').textContent = 'Stop'; $('play').setAttribute('aria-pressed', 'true'); status.info('Playing.'); }
  else status.info('There is nothing to play: none of the chords has notes.');
}

player.addEventListener('slot', (e) => { strip.playing = e.detail; keyboardView.playing = e.detail; render(); });
player.addEventListener('stopped', () => {
  strip.playing = -1; keyboardView.playing = -1; render();
  $('play').textContent = 'Play'; $('play').setAttribute('aria-pressed', 'false');
});

async function downloadMidi() {
  if (!state.voiced) await voice();
  if (!state.voiced || state.slots.length === 0) { status.info('There is nothing to save yet.'); return; }
  const bytes = buildMidiFile(state.slots, { rhythm: currentRhythm(), tempo: Number($('tempo').value) });
  downloadMidiFile(bytes);
  status.info(`Saved progression.mid (${state.slots.length} chords, ${bytes.length} bytes).`);
}

async function enableMidi() {
  let outputs;
  try { outputs = await Player.midiOutputs(); } catch { outputs = null; }
  const select = $('midi-output');
  if (!outputs) { status.info('This browser offers no MIDI output; playback uses the built-in sound.'); return; }
  select.replaceChildren(new Option('none', ''), ...outputs.map((o) => new Option(o.name || o.id, o.id)));
  select.disabled = false;
  select.onchange = () => { player.midiOutput = outputs.find((o) => o.id === select.value) || null; };
  status.info(outputs.length ? `${outputs.length} MIDI output${outputs.length === 1 ? '' : 's'} found.` : 'No MIDI outputs are connected.');
}

function bind() {
  const rootSelect = $('key-root');
  for (const r of KEY_ROOTS) rootSelect.append(new Option(r, r));
  showKey();
  $('progression-form').addEventListener('submit', (e) => { e.preventDefault(); readAndVoice(); });
  $('key-root').addEventListener('change', () => onKeyChange('root'));
  $('key-mode').addEventListener('change', () => onKeyChange('mode'));
  $('key-scale').addEventListener('change', () => onKeyChange('mode'));
  $('spelling').addEventListener('change', async () => { state.spelling = $('spelling').value; await voice(); refreshPalette(); });
  $('detect-key').addEventListener('click', detectKey);
  $('transpose-down').addEventListener('click', () => transpose(-1));
  $('transpose-up').addEventListener('click', () => transpose(1));
  $('recalculate').addEventListener('click', () => recalculate(null));
  $('copy').addEventListener('click', copyProgression);
  $('paste').addEventListener('click', pasteProgression);
  $('slot-anchor').addEventListener('click', toggleAnchor);
  $('slot-inversion').addEventListener('change', async () => {
    const slot = state.selected;
    if (!slot) return;
    slot.inversion = Math.max(0, Math.min(Number($('slot-inversion').value) || 0, Math.max(0, slot.maxInversion)));
    slot.manual = null;
    await voice();
  });
  $('slot-left').addEventListener('click', async () => { state.moveSelected(-1); syncField(); await voice(); });
  $('slot-right').addEventListener('click', async () => { state.moveSelected(1); syncField(); await voice(); });
  $('slot-remove').addEventListener('click', removeSelected);
  $('palette-box').addEventListener('toggle', refreshPalette);
  $('palette-size').addEventListener('change', refreshPalette);
  $('qualities-box').addEventListener('toggle', () => qualityList.show());
  $('qualities-filter').addEventListener('input', () => qualityList.show());
  const optionChanged = async () => {
    state.options = {
      style: $('voicing-style').value || 'closed',
      octave: Math.max(0, Math.min(7, Number($('voicing-octave').value) || 0)),
      dropBass: $('drop-bass').checked,
      autoVoiceLead: $('auto-voice-lead').checked,
      allowBassChanges: $('bass-changes').checked,
    };
    for (const s of state.slots) s.manual = null;
    await voice();
  };
  for (const id of ['voicing-style', 'voicing-octave', 'drop-bass', 'auto-voice-lead', 'bass-changes']) $(id).addEventListener('change', optionChanged);
  $('voice-button').addEventListener('click', voice);
  $('view-range').addEventListener('change', () => {
    const o = $('view-range').selectedOptions[0];
    if (o) keyboardView.setRange(Number(o.dataset.min), Number(o.dataset.max));
    render();
  });
  $('play').addEventListener('click', togglePlay);
  $('download-midi').addEventListener('click', downloadMidi);
  $('midi-enable').addEventListener('click', enableMidi);
  $('suggest-refresh').addEventListener('click', () => suggestions.refresh());
  for (const radio of document.querySelectorAll('input[name="suggest-mode"]')) radio.addEventListener('change', () => suggestions.refresh());
  $('shuffle').addEventListener('change', () => suggestions.refresh());
  $('generate-form').addEventListener('submit', (e) => { e.preventDefault(); generate(); });
  $('temperature').addEventListener('input', () => {
    $('temperature-out').textContent = $('temperature').value;
    $('temperature').setAttribute('aria-valuetext', $('temperature').value);
  });
  let resizeTimer = null;
  window.addEventListener('resize', () => { clearTimeout(resizeTimer); resizeTimer = setTimeout(render, 150); });
  installShortcuts({
    focusField: () => $('progression-text').focus(),
    voice, togglePlay, generate, detectKey, downloadMidi, toggleAnchor,
    transposeDown: () => transpose(-1), transposeUp: () => transpose(1),
    focusSuggestions: () => { const first = $('suggestions').querySelector('button'); (first || $('suggest-refresh')).focus(); },
    focusEditor: () => { const first = $('modifiers').querySelector('button:not([disabled])'); (first || $('bass-note')).focus(); },
    stop: () => player.stop(),
    leaveField: () => strip.focusSelected(),
  });
}

async function toggleAnchor() {
  const slot = state.selected;
  if (!slot) return;
  slot.anchor = !slot.anchor;
  slot.manual = slot.anchor && slot.notes.length ? [...slot.notes] : null;
  render();
  status.info(`${slot.chord} is ${slot.anchor ? 'an anchor: voice leading keeps its voicing' : 'free again'}.`);
  if (state.options.autoVoiceLead) await voice();
}

async function start() {
  bind();
  render();
  await ask(bridge, status, 'ready', {}, { quiet: true });
  const catalogues = await loadCatalogues({ bridge, status, style: state.options.style });
  ({ styleNames, rhythms } = catalogues);
  if (catalogues.range) keyboardView.setRange(catalogues.range.min, catalogues.range.max);
  await readAndVoice();
  document.body.dataset.ready = 'true';
}

start();
