// The progression as the page holds it: the key, the chord slots with their voicings, the
// selected slot and the voicing options. Views listen for 'change' and redraw.

export const NOTE_NAMES = ['C', 'C#', 'Db', 'D', 'D#', 'Eb', 'E', 'F', 'F#', 'Gb', 'G', 'G#', 'Ab', 'A', 'A#', 'Bb', 'B'];

export function makeSlot(chord, extra = {}) {
  return { chord, roman: '', notes: [], labels: [], anchor: false, inversion: 0, maxInversion: 0, ...extra };
}

export class ProgressionState extends EventTarget {
  constructor() {
    super();
    this.key = { root: 'C', mode: 'major', minorScaleType: 'natural' };
    this.spelling = 'fifths';
    this.slots = [];
    this.cursor = 0;
    this.options = { style: 'closed', octave: 4, dropBass: false, autoVoiceLead: true, allowBassChanges: false };
    this.voiced = false;
  }

  get selected() { return this.slots[this.cursor] || null; }

  text() { return this.slots.map((s) => s.chord).join(' '); }

  setCursor(index) {
    const bounded = Math.max(0, Math.min(index, this.slots.length - 1));
    if (bounded === this.cursor) return;
    this.cursor = bounded;
    this.changed('cursor');
  }

  setChords(chords) {
    const old = this.slots;
    this.slots = chords.map((c, i) => {
      const before = old[i];
      // A slot keeps its anchor and inversion while its chord stays the same.
      if (before && before.chord === c) return { ...before };
      return makeSlot(c);
    });
    this.cursor = Math.min(this.cursor, Math.max(0, this.slots.length - 1));
    this.voiced = false;
    this.changed('chords');
  }

  insertAfterCursor(chord) {
    const at = this.slots.length === 0 ? 0 : this.cursor + 1;
    this.slots.splice(at, 0, makeSlot(chord));
    this.cursor = at;
    this.voiced = false;
    this.changed('chords');
  }

  replaceAtCursor(chord) {
    if (!this.selected) { this.insertAfterCursor(chord); return; }
    this.slots[this.cursor] = makeSlot(chord, { anchor: this.selected.anchor });
    this.voiced = false;
    this.changed('chords');
  }

  removeAtCursor() {
    if (!this.selected) return;
    this.slots.splice(this.cursor, 1);
    this.cursor = Math.max(0, Math.min(this.cursor, this.slots.length - 1));
    this.voiced = false;
    this.changed('chords');
  }

  moveSelected(step) {
    const to = this.cursor + step;
    if (!this.selected || to < 0 || to >= this.slots.length) return;
    const [slot] = this.slots.splice(this.cursor, 1);
    this.slots.splice(to, 0, slot);
    this.cursor = to;
    this.voiced = false;
    this.changed('chords');
  }

  changed(what) { this.dispatchEvent(new CustomEvent('change', { detail: what })); }
}
