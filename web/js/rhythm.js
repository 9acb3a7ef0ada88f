// Turns the voiced progression and a rhythm pattern into timed note events. Each chord sounds
// for its share of its bar (a slot without one has a bar of its own); the pattern runs in bar
// time and each chord plays the parts of its events that fall within its share, struck again
// where a chord changes inside an event. Playback and the MIDI file read the same events, so
// what is heard is what is saved.

export const STEPS_PER_BAR = 16;
export const TICKS_PER_STEP = 120;
const TICKS_PER_BAR = STEPS_PER_BAR * TICKS_PER_STEP;

export const WHOLE_NOTE = { name: 'Whole Note', pattern: [{ offset: 0, duration: 16 }] };

// The notes of a voicing that one event sounds.
export function notesForVoices(notes, voices) {
  const sorted = [...notes].sort((a, b) => a - b);
  if (sorted.length === 0) return [];
  switch (voices) {
    case 'bass': return [sorted[0]];
    case 'top': return [sorted[sorted.length - 1]];
    case 'upper': return sorted.length > 1 ? sorted.slice(1) : sorted;
    case 'middle': return sorted.length > 2 ? sorted.slice(1, -1) : sorted;
    default: return sorted;
  }
}

function shareOf(slot, index) {
  const s = slot && slot.share;
  if (s && Number.isInteger(s.bar) && Number.isInteger(s.parts) && s.parts >= 1 && Number.isInteger(s.part) && s.part >= 0 && s.part < s.parts) return s;
  return { bar: index, part: 0, parts: 1 };
}

// Where a slot sounds, in sixteenths from the start: {start, end} (whole MIDI ticks apart).
export function slotSpan(slot, index) {
  const { bar, part, parts } = shareOf(slot, index);
  const tick = (p) => bar * TICKS_PER_BAR + Math.floor((p * TICKS_PER_BAR) / parts);
  return { start: tick(part) / TICKS_PER_STEP, end: tick(part + 1) / TICKS_PER_STEP };
}

// The length of the whole progression in sixteenths: up to the end of its last bar.
export function progressionSteps(slots) {
  let end = 0;
  slots.forEach((slot, i) => { end = Math.max(end, slotSpan(slot, i).end); });
  return Math.ceil(end / STEPS_PER_BAR) * STEPS_PER_BAR;
}

// [{slot, step, duration, notes}] with step and duration counted in sixteenths.
export function noteEvents(slots, rhythm = WHOLE_NOTE) {
  const pattern = Array.isArray(rhythm && rhythm.pattern) && rhythm.pattern.length ? rhythm.pattern : WHOLE_NOTE.pattern;
  const events = [];
  slots.forEach((slot, index) => {
    const { start, end } = slotSpan(slot, index);
    const firstBar = Math.max(0, Math.floor(start / STEPS_PER_BAR) - 3);  // events may ring on
    const lastBar = Math.ceil(end / STEPS_PER_BAR) - 1;
    for (let bar = firstBar; bar <= lastBar; bar += 1) {
      for (const event of pattern) {
        const offset = Number(event.offset) || 0;
        const duration = Math.max(1, Number(event.duration) || 1);
        const on = Math.max(start, bar * STEPS_PER_BAR + offset);
        const off = Math.min(end, bar * STEPS_PER_BAR + offset + duration);
        if (on >= off) continue;
        const notes = notesForVoices(slot.notes || [], event.voices);
        if (notes.length) events.push({ slot: index, step: on, duration: off - on, notes });
      }
    }
  });
  return events;
}
