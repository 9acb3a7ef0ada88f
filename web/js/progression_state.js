// The progression as the page holds it: the key, the chord slots with their voicings, the
// selected slot and the voicing options. Views listen for 'change' and redraw.
//
// A slot's `chord` is what the engine reads; `typed` is the text as the person wrote it (a
// chart spelling such as G7+ is read as G7#5), and `unread` marks a chord the engine cannot
// read, which stays in place but is neither voiced nor played (`rest` when it is a no-chord
// mark, which is meant to be silent). `share` is the slot's part of
// its bar: {bar, part, parts}.

export const NOTE_NAMES = ['C', 'C#', 'Db', 'D', 'D#', 'Eb', 'E', 'F', 'F#', 'Gb', 'G', 'G#', 'Ab', 'A', 'A#', 'Bb', 'B'];

export function makeSlot(chord, extra = {}) {
  return { chord, typed: chord, unread: false, rest: false, roman: '', notes: [], labels: [], anchor: false, inversion: 0, maxInversion: 0, ...extra };
}

// Bar numbers made consecutive from 0, and each slot's part and parts counted within its bar.
function renumberBars(slots) {
  let bar = -1;
  let last = null;
  for (const slot of slots) {
    const key = slot.share ? slot.share.bar : null;
    if (key === null || key !== last) bar += 1;
    last = key;
    slot.share = { bar, part: 0, parts: 1 };
  }
  for (let i = 0; i < slots.length;) {
    let j = i;
    while (j < slots.length && slots[j].share.bar === slots[i].share.bar) j += 1;
    for (let k = i; k < j; k += 1) slots[k].share = { bar: slots[i].share.bar, part: k - i, parts: j - i };
    i = j;
  }
  return slots;
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

  // The chords as typed; bar lines only where a bar holds more than one chord.
  text() {
    const bars = [];
    for (const slot of this.slots) {
      const bar = slot.share ? slot.share.bar : bars.length;
      if (!bars.length || bars[bars.length - 1].bar !== bar) bars.push({ bar, chords: [] });
      bars[bars.length - 1].chords.push(slot.typed || slot.chord);
    }
    const together = bars.some((b) => b.chords.length > 1);
    return bars.map((b) => b.chords.join(' ')).join(together ? ' | ' : ' ');
  }

  setCursor(index) {
    const bounded = Math.max(0, Math.min(index, this.slots.length - 1));
    if (bounded === this.cursor) return;
    this.cursor = bounded;
    this.changed('cursor');
  }

  // New chords, a bar each; with `keepTiming` (the same chords moved, for example
  // transposed) every slot keeps its place in the bars and stays unread when it was.
  setChords(chords, { keepTiming = false } = {}) {
    const old = this.slots;
    const timed = keepTiming && old.length === chords.length;
    this.slots = chords.map((c, i) => {
      const before = old[i];
      const extra = timed ? { share: before.share, unread: before.unread, rest: before.rest } : { share: { bar: i, part: 0, parts: 1 }, unread: false, rest: false };
      // A slot keeps its anchor and inversion while its chord stays the same.
      if (before && before.chord === c) return { ...before, ...extra };
      return makeSlot(c, extra);
    });
    this.settle();
  }

  // Slots read from a chart: [{chord, typed, unread, share}].
  setChart(entries) {
    const old = this.slots;
    this.slots = entries.map((e, i) => {
      const before = old[i];
      const fresh = { chord: e.chord, typed: e.typed, unread: e.unread, rest: Boolean(e.rest), share: e.share };
      if (before && before.chord === e.chord && !e.unread) return { ...before, ...fresh };
      return makeSlot(e.chord, fresh);
    });
    this.settle();
  }

  settle() {
    this.cursor = Math.min(this.cursor, Math.max(0, this.slots.length - 1));
    this.voiced = false;
    this.changed('chords');
  }

  // Between two chords of one bar the new chord joins that bar; after the last chord of a bar
  // it takes a bar of its own.
  insertAfterCursor(chord) {
    const at = this.slots.length === 0 ? 0 : this.cursor + 1;
    const before = this.slots[at - 1];
    const after = this.slots[at];
    const joins = before && after && before.share && after.share && before.share.bar === after.share.bar;
    const bar = before && before.share ? before.share.bar + (joins ? 0 : 0.5) : -1;
    this.slots.splice(at, 0, makeSlot(chord, { share: { bar, part: 0, parts: 1 } }));
    renumberBars(this.slots);
    this.cursor = at;
    this.voiced = false;
    this.changed('chords');
  }

  replaceAtCursor(chord) {
    if (!this.selected) { this.insertAfterCursor(chord); return; }
    this.slots[this.cursor] = makeSlot(chord, { anchor: this.selected.anchor, share: this.selected.share });
    this.voiced = false;
    this.changed('chords');
  }

  removeAtCursor() {
    if (!this.selected) return;
    this.slots.splice(this.cursor, 1);
    renumberBars(this.slots);
    this.cursor = Math.max(0, Math.min(this.cursor, this.slots.length - 1));
    this.voiced = false;
    this.changed('chords');
  }

  moveSelected(step) {
    const to = this.cursor + step;
    if (!this.selected || to < 0 || to >= this.slots.length) return;
    // The chord moves; the places in the bars stay where they are.
    const shares = this.slots.map((s) => s.share);
    const [slot] = this.slots.splice(this.cursor, 1);
    this.slots.splice(to, 0, slot);
    this.slots.forEach((s, i) => { s.share = shares[i]; });
    this.cursor = to;
    this.voiced = false;
    this.changed('chords');
  }

  changed(what) { this.dispatchEvent(new CustomEvent('change', { detail: what })); }
}
