// MIDI note numbers as a musician reads them (60 is C4).
const SHARP_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];

export function pitchName(midi) { return SHARP_NAMES[((midi % 12) + 12) % 12]; }

export function noteName(midi) { return `${pitchName(midi)}${Math.floor(midi / 12) - 1}`; }

export function isBlackKey(midi) { return [1, 3, 6, 8, 10].includes(((midi % 12) + 12) % 12); }
