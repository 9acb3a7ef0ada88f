// The page's pure modules, run in Node without a browser: chunk reassembly, error texts,
// the modifier toggle, rhythm events and the MIDI file writer.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { ChunkAssembler, errorText, Bridge } from '../../web/js/bridge.js';
import { toggleModifier } from '../../web/js/chord_editor.js';
import { noteEvents, notesForVoices } from '../../web/js/rhythm.js';
import { buildMidiFile } from '../../web/js/midi_file.js';
import { voicingNoteNames } from '../../web/js/note_names.js';

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
