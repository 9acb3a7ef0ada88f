// MIDI note numbers as a musician reads them (60 is C4).
const SHARP_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
const LETTER_PITCH = { C: 0, D: 2, E: 4, F: 5, G: 7, A: 9, B: 11 };

export function pitchName(midi) { return SHARP_NAMES[((midi % 12) + 12) % 12]; }

export function noteName(midi) { return `${pitchName(midi)}${Math.floor(midi / 12) - 1}`; }

export function isBlackKey(midi) { return [1, 3, 6, 8, 10].includes(((midi % 12) + 12) % 12); }

// A note under the name the engine spelled for it (Db, Bb, B#...). The octave number goes with
// the letter, so B#3 and Cb4 are the keys MIDI 60 and 59. A spelling that does not name this
// note falls back to its sharp name.
export function spelledNoteName(midi, spelling) {
  const found = /^([A-G])(#*|b*)$/.exec(typeof spelling === 'string' ? spelling : '');
  if (!found) return noteName(midi);
  const shift = found[2].startsWith('#') ? found[2].length : -found[2].length;
  const natural = midi - shift;
  if ((((natural - LETTER_PITCH[found[1]]) % 12) + 12) % 12 !== 0) return noteName(midi);
  return `${spelling}${Math.floor(natural / 12) - 1}`;
}

// The names of a voicing's notes, spelled as the engine labelled them (one label per note, in
// order); sharp names where no labels came with the notes.
export function voicingNoteNames(notes, labels) {
  const spelled = Array.isArray(labels) && labels.length === notes.length;
  return notes.map((n, i) => (spelled ? spelledNoteName(n, labels[i]) : noteName(n)));
}
