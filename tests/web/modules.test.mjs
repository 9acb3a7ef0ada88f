// The page's pure modules, run in Node without a browser: chunk reassembly, error texts,
// the modifier toggle, rhythm events and the MIDI file writer.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ChunkAssembler, errorText, Bridge } from '../../web/js/bridge.js';
import { toggleModifier } from '../../web/js/chord_editor.js';
import { noteEvents, notesForVoices } from '../../web/js/rhythm.js';
import { buildMidiFile } from '../../web/js/midi_file.js';
import { voicingNoteNames } from '../../web/js/note_names.js';
import { chartTokens, rewriteChartSymbol } from '../../web/js/chart_reader.js';
import { ProgressionState } from '../../web/js/progression_state.js';

function pieces(text, size, id = 'tw_chunk_1', type = 'supported_qualities') {
  const total = Math.ceil(text.length / size);
  return Array.from({ length: total }, (_, index) => JSON.stringify({ id, type, index, total, chunk: text.slice(index * size, index * size + size) }));
}

test('chunks are joined in index order into the whole reply', () => {
  const whole = JSON.stringify({ ok: true, payload: { text: 'x'.repeat(250) }, type: 'supported_qualities' });
  const assembler = new ChunkAssembler();
  const parts = pieces(whole, 100);
  assert.ok(parts.length >= 3);
  for (const part of parts.slice(0, -1)) assert.equal(assembler.add(part), null);
  assert.deepEqual(assembler.add(parts.at(-1)), { type: 'supported_qualities', text: whole });
});

test('pieces of two replies do not mix, and broken records are ignored', () => {
  const assembler = new ChunkAssembler();
  const a = pieces('A'.repeat(20), 10, 'tw_chunk_1', 'a');
  const b = pieces('B'.repeat(20), 10, 'tw_chunk_2', 'b');
  assert.equal(assembler.add(a[0]), null);
  assert.equal(assembler.add(b[0]), null);
  assert.equal(assembler.add('{not json'), null);
  assert.equal(assembler.add(JSON.stringify({ id: 'x', index: 5, total: 2, chunk: '' })), null);
  assert.deepEqual(assembler.add(b[1]), { type: 'b', text: 'B'.repeat(20) });
  assert.deepEqual(assembler.add(a[1]), { type: 'a', text: 'A'.repeat(20) });
});

test('error replies read as sentences', () => {
  assert.equal(errorText({ ok: false, type: 'parse_error', payload: { errors: [{ token: 'Xq7' }], chords: [] } }), 'Could not read the chord “Xq7”');
  assert.equal(errorText({ ok: false, type: 'voicing_error', payload: { message: 'Invalid chord or style' } }), 'Invalid chord or style');
  assert.equal(errorText({ ok: false, type: 'error', error: 'Request handling failed', payload: {} }), 'Request handling failed');
  assert.equal(errorText({ ok: false, type: 'detect_key_error', payload: {} }), 'The engine could not answer detect_key_error');
});

test('through the host API a request goes out as fromJweb and its chunked reply comes back', async () => {
  const inlets = {};
  const sent = [];
  const hostApi = { outlet: (...atoms) => sent.push(atoms), bindInlet: (name, fn) => { inlets[name] = fn; } };
  const bridge = new Bridge({ hostApi });
  const replyPromise = bridge.request('get_supported_qualities', {});
  await new Promise((r) => setTimeout(r, 0));
  assert.equal(sent.length, 1);
  const [selector, type, text] = sent[0];
  assert.equal(selector, 'fromJweb');
  assert.equal(type, 'get_supported_qualities');
  const request = JSON.parse(text);
  assert.equal(request.type, 'get_supported_qualities');
  assert.equal(typeof request.request_id, 'string');
  const envelope = JSON.stringify({ ok: true, payload: { qualities: [] }, request_id: request.request_id, type: 'supported_qualities' });
  for (const piece of pieces(envelope, 16)) inlets.toJweb('__tw_chunk', piece);
  const reply = await replyPromise;
  assert.deepEqual(reply.payload, { qualities: [] });
});

test('through the host API a reply without request_id answers the outstanding request; a wake notice does not', async () => {
  const inlets = {};
  const hostApi = { outlet: () => {}, bindInlet: (name, fn) => { inlets[name] = fn; } };
  const bridge = new Bridge({ hostApi });
  const woke = [];
  bridge.addEventListener('bridge', (e) => woke.push(e.detail.name));
  const replyPromise = bridge.request('parse_chord', { chord: 'Cm7' });
  await new Promise((r) => setTimeout(r, 0));
  inlets.toBridge('system_wake', '{}');
  inlets.toJweb('system_wake', JSON.stringify({ ok: true, payload: {}, type: 'system_wake' }));
  inlets.toJweb('parse_result', JSON.stringify({ ok: true, payload: { root: 'C', quality: 'm7' }, type: 'parse_result' }));
  const reply = await replyPromise;
  assert.equal(reply.type, 'parse_result');
  assert.deepEqual(woke, ['system_wake']);
});

test('write_clipboard expects no reply', async () => {
  const hostApi = { outlet: () => {}, bindInlet: () => {} };
  const bridge = new Bridge({ hostApi });
  assert.equal(await bridge.request('write_clipboard', { text: 'C F G' }), null);
});

test('over HTTP the outlet messages are read and a refusal is reported', async () => {
  const calls = [];
  const answers = [
    { ok: true, status: 200, json: async () => [{ atoms: [60, 64, 67], outlet: 1 }, { atoms: ['toJweb', 'version', '{"ok":true,"payload":{"version":"1.1.1"},"request_id":"page-1","type":"version"}'], outlet: 0 }] },
    { ok: false, status: 413, json: async () => ({ error: 'body too large' }) },
  ];
  const fetchImpl = async (url, init) => { calls.push({ url, init }); return answers.shift(); };
  const bridge = new Bridge({ fetchImpl, hostApi: null });
  const reply = await bridge.request('get_version', {});
  assert.equal(reply.payload.version, '1.1.1');
  assert.equal(calls[0].url, 'messages');
  assert.equal(calls[0].init.headers['Content-Type'], 'application/json');
  const atoms = JSON.parse(calls[0].init.body);
  assert.equal(atoms[0], 'fromJweb');
  assert.equal(atoms[1], 'get_version');
  await assert.rejects(bridge.request('get_version', {}), /refused the request: body too large/);
});

test('a modifier replaces its degree; an active added degree is switched off', () => {
  const c7 = ['third-major', 'fifth-perfect', 'seventh-flat7'];
  assert.deepEqual(toggleModifier(c7, 'third-minor'), ['fifth-perfect', 'seventh-flat7', 'third-minor']);
  assert.deepEqual(toggleModifier(c7, 'seventh-flat7'), ['third-major', 'fifth-perfect']);
  assert.deepEqual(toggleModifier(c7, 'third-major'), c7.filter((id) => id !== 'third-major').concat('third-major'));
  assert.deepEqual(toggleModifier(c7, 'ninth-9'), [...c7, 'ninth-9']);
  assert.deepEqual(toggleModifier(c7, 'slash'), ['slash']);
});

test('rhythm voices pick parts of the voicing', () => {
  const notes = [67, 48, 64, 72];
  assert.deepEqual(notesForVoices(notes, undefined), [48, 64, 67, 72]);
  assert.deepEqual(notesForVoices(notes, 'bass'), [48]);
  assert.deepEqual(notesForVoices(notes, 'top'), [72]);
  assert.deepEqual(notesForVoices(notes, 'upper'), [64, 67, 72]);
  assert.deepEqual(notesForVoices(notes, 'middle'), [64, 67]);
  assert.deepEqual(notesForVoices([], 'bass'), []);
  const events = noteEvents([{ notes: [60, 64, 67] }, { notes: [] }, { notes: [62] }], { pattern: [{ offset: 0, duration: 8 }, { offset: 8, duration: 8, voices: 'bass' }] });
  assert.deepEqual(events.map((e) => [e.slot, e.step, e.duration, e.notes]), [[0, 0, 8, [60, 64, 67]], [0, 8, 8, [60]], [2, 32, 8, [62]], [2, 40, 8, [62]]]);
});

test('the MIDI file has a header, a tempo track and the notes at 480 ticks per quarter', () => {
  const bytes = buildMidiFile([{ notes: [60, 64] }, { notes: [62] }], { tempo: 120 });
  const text = (at, n) => String.fromCharCode(...bytes.subarray(at, at + n));
  assert.equal(text(0, 4), 'MThd');
  assert.deepEqual([...bytes.subarray(4, 14)], [0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xe0]);
  assert.equal(text(14, 4), 'MTrk');
  const firstLength = (bytes[18] << 24) | (bytes[19] << 16) | (bytes[20] << 8) | bytes[21];
  const tempoTrack = bytes.subarray(22, 22 + firstLength);
  const tempoAt = [...tempoTrack].findIndex((b, i) => b === 0xff && tempoTrack[i + 1] === 0x51);
  assert.deepEqual([...tempoTrack.subarray(tempoAt + 3, tempoAt + 6)], [0x07, 0xa1, 0x20]);
  const second = 22 + firstLength;
  assert.equal(text(second, 4), 'MTrk');
  const body = [...bytes.subarray(second + 8)];
  // Two notes on at 0, off at 1920 (0x8f 0x00 as a variable-length delta), then D on, off at 3840.
  assert.deepEqual(body, [
    0x00, 0x90, 60, 90, 0x00, 0x90, 64, 90,
    0x8f, 0x00, 0x80, 60, 0, 0x00, 0x80, 64, 0,
    0x00, 0x90, 62, 90,
    0x8f, 0x00, 0x80, 62, 0,
    0x00, 0xff, 0x2f, 0x00,
  ]);
});

test('notes take the engine’s spellings, with the octave of their letter', () => {
  assert.deepEqual(voicingNoteNames([61, 65, 68, 72], ['Db', 'F', 'Ab', 'C']), ['Db4', 'F4', 'Ab4', 'C5']);
  assert.deepEqual(voicingNoteNames([59, 60, 62], ['Cb', 'B#', 'Ebb']), ['Cb4', 'B#3', 'Ebb4']);
  // Labels that do not fit the notes are not trusted: sharp names instead.
  assert.deepEqual(voicingNoteNames([61, 65], ['Db']), ['C#4', 'F4']);
  assert.deepEqual(voicingNoteNames([61], ['Eb']), ['C#4']);
});

test('chart spellings are read as the engine reads them, the rest left alone', () => {
  const cases = [
    ['G7+', 'G7#5'], ['Bbm/maj7', 'BbmM7'], ['Bbm/maj7/G', 'BbmM7/G'], ['F#h7/C', 'F#m7b5/C'],
    [' Eb07\t', 'Ebm7b5'], ['g7+', 'g7#5'], ['Cm+', 'Cm#5'], ['D2', 'Dsus2'], ['Bb4', 'Bbsus4'],
    ['G7+/H', null], ['G7+/', null], ['G7+/Db7', null], ['Esus24', null], ['X7+', null], ['G7', null],
    ['', null], ['G', null], ['G 7+', null], ['7+', null], ['G7++', null], ['Gm7add11', null],
  ];
  for (const [text, want] of cases) assert.equal(rewriteChartSymbol(text), want, text);
});

test('bar lines share the bars; without them every chord has a bar', () => {
  const timed = (text) => chartTokens(text).map((t) => [t.text, t.share.bar, t.share.part, t.share.parts]);
  assert.deepEqual(timed('Dm9 G13 | Cmaj9 |'), [['Dm9', 0, 0, 2], ['G13', 0, 1, 2], ['Cmaj9', 1, 0, 1]]);
  assert.deepEqual(timed('Dm7 G7, Cmaj7'), [['Dm7', 0, 0, 1], ['G7', 1, 0, 1], ['Cmaj7', 2, 0, 1]]);
  assert.deepEqual(timed('| C | | F G A |'), [['C', 0, 0, 1], ['F', 1, 0, 3], ['G', 1, 1, 3], ['A', 1, 2, 3]]);
  assert.deepEqual(timed('% | % C'), [['C', 0, 0, 1]]);
  assert.deepEqual(timed(' | ,| '), []);
});

test('each chord plays the rhythm within its share of the bar, and the file keeps the time', () => {
  const slots = [
    { notes: [60], share: { bar: 0, part: 0, parts: 2 } },
    { notes: [67], share: { bar: 0, part: 1, parts: 2 } },
    { notes: [], share: { bar: 1, part: 0, parts: 3 } },
    { notes: [62], share: { bar: 1, part: 1, parts: 3 } },
    { notes: [64], share: { bar: 1, part: 2, parts: 3 } },
  ];
  const charleston = { pattern: [{ offset: 0, duration: 6 }, { offset: 6, duration: 2 }, { offset: 10, duration: 6 }] };
  const events = noteEvents(slots, charleston).map((e) => [e.slot, e.step * 120, (e.step + e.duration) * 120]);
  assert.deepEqual(events, [[0, 0, 720], [0, 720, 960], [1, 1200, 1920],
    [3, 2560, 2640], [3, 2640, 2880], [3, 3120, 3200], [4, 3200, 3840]]);
  const held = noteEvents(slots).map((e) => [e.slot, Math.round(e.step * 120), Math.round((e.step + e.duration) * 120)]);
  assert.deepEqual(held, [[0, 0, 960], [1, 960, 1920], [3, 2560, 3200], [4, 3200, 3840]]);
  // The file ends with the last bar even when its last share is silent.
  const bytes = buildMidiFile([slots[0], { notes: [], share: { bar: 0, part: 1, parts: 2 } }], { tempo: 120 });
  assert.deepEqual([...bytes.subarray(bytes.length - 10)], [0x87, 0x40, 0x80, 60, 0, 0x87, 0x40, 0xff, 0x2f, 0x00]);
});

test('editing the chords keeps the bars: a chord inserted inside a bar joins it, after a bar takes its own', () => {
  const state = new ProgressionState();
  state.setChart(chartTokens('Dm7 G7 | C').map((t) => ({ chord: t.text, typed: t.text, unread: false, share: t.share })));
  assert.equal(state.text(), 'Dm7 G7 | C');
  state.cursor = 0;
  state.insertAfterCursor('A7');
  assert.equal(state.text(), 'Dm7 A7 G7 | C');
  state.cursor = 2;
  state.insertAfterCursor('Db7');
  assert.equal(state.text(), 'Dm7 A7 G7 | Db7 | C');
  state.cursor = 1;
  state.removeAtCursor();
  state.cursor = 0;
  state.moveSelected(1);
  assert.equal(state.text(), 'G7 Dm7 | Db7 | C');
  state.cursor = 0;
  state.removeAtCursor();
  assert.equal(state.text(), 'Dm7 Db7 C');
});
