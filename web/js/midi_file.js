// A Standard MIDI File of the voiced progression: format 1, 480 ticks per quarter note, a
// tempo track and one note track on channel 1.
import { noteEvents, progressionSteps, TICKS_PER_STEP } from './rhythm.js';

export const TICKS_PER_QUARTER = 480;
const VELOCITY = 90;

function variableLength(value) {
  const bytes = [value & 0x7f];
  let rest = value >>> 7;
  while (rest > 0) { bytes.unshift((rest & 0x7f) | 0x80); rest >>>= 7; }
  return bytes;
}

function ascii(text) { return [...text].map((c) => c.charCodeAt(0) & 0x7f); }

function chunk(tag, body) {
  const n = body.length;
  return [...ascii(tag), (n >>> 24) & 0xff, (n >>> 16) & 0xff, (n >>> 8) & 0xff, n & 0xff, ...body];
}

// Events [{tick, bytes, order}] → track body with delta times and the end-of-track event,
// which comes no earlier than `endTick`.
function trackBody(events, endTick = 0) {
  const sorted = [...events].sort((a, b) => a.tick - b.tick || a.order - b.order);
  const body = [];
  let now = 0;
  for (const e of sorted) {
    body.push(...variableLength(e.tick - now), ...e.bytes);
    now = e.tick;
  }
  body.push(...variableLength(Math.max(0, endTick - now)), 0xff, 0x2f, 0x00);
  return body;
}

export function buildMidiFile(slots, { rhythm, tempo = 120, name = 'tonalweaver progression' } = {}) {
  const bpm = Math.min(300, Math.max(20, Number(tempo) || 120));
  const microseconds = Math.round(60000000 / bpm);
  const nameBytes = ascii(name).slice(0, 100);
  const tempoTrack = trackBody([
    { tick: 0, order: 0, bytes: [0xff, 0x03, ...variableLength(nameBytes.length), ...nameBytes] },
    { tick: 0, order: 1, bytes: [0xff, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08] },
    { tick: 0, order: 2, bytes: [0xff, 0x51, 0x03, (microseconds >>> 16) & 0xff, (microseconds >>> 8) & 0xff, microseconds & 0xff] },
  ]);
  const noteTrackEvents = [];
  for (const event of noteEvents(slots, rhythm)) {
    const start = Math.round(event.step * TICKS_PER_STEP);
    const end = Math.round((event.step + event.duration) * TICKS_PER_STEP);
    for (const note of event.notes) {
      const key = Math.min(127, Math.max(0, note | 0));
      // At one tick a note ends before the next one starts, so repeated keys sound again.
      noteTrackEvents.push({ tick: start, order: 1, bytes: [0x90, key, VELOCITY] });
      noteTrackEvents.push({ tick: end, order: 0, bytes: [0x80, key, 0] });
    }
  }
  const header = chunk('MThd', [0x00, 0x01, 0x00, 0x02, (TICKS_PER_QUARTER >>> 8) & 0xff, TICKS_PER_QUARTER & 0xff]);
  return new Uint8Array([...header, ...chunk('MTrk', tempoTrack), ...chunk('MTrk', trackBody(noteTrackEvents, progressionSteps(slots) * TICKS_PER_STEP))]);
}

export function downloadMidiFile(bytes, fileName = 'progression.mid') {
  const url = URL.createObjectURL(new Blob([bytes], { type: 'audio/midi' }));
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}
