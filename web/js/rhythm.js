// Turns the voiced progression and a rhythm pattern into timed note events, one bar per chord.
// Playback and the MIDI file read the same events, so what is heard is what is saved.

export const STEPS_PER_BAR = 16;

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

// [{slot, step, duration, notes}] with step counted in sixteenths from the start.
export function noteEvents(slots, rhythm = WHOLE_NOTE) {
  const pattern = Array.isArray(rhythm && rhythm.pattern) && rhythm.pattern.length ? rhythm.pattern : WHOLE_NOTE.pattern;
  const events = [];
  slots.forEach((slot, index) => {
    for (const event of pattern) {
      const offset = Number(event.offset) || 0;
      const duration = Math.max(1, Number(event.duration) || 1);
      const notes = notesForVoices(slot.notes, event.voices);
      if (notes.length) events.push({ slot: index, step: index * STEPS_PER_BAR + offset, duration, notes });
    }
  });
  return events;
}
