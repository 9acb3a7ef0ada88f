// The keyboard view: a piano roll with one column per chord of the progression, and a keyboard
// that shows the selected voicing. Both are drawn from the state; clicking a column selects it.
import { noteName, isBlackKey, voicingNoteNames } from './note_names.js';

const SVG = 'http://www.w3.org/2000/svg';
const ROW_HEIGHT = 7;
const COLUMN_WIDTH = 76;
const KEY_STRIP = 34;

function svg(name, attributes = {}) {
  const element = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attributes)) element.setAttribute(k, String(v));
  return element;
}

export class KeyboardView {
  constructor({ roll, keyboard, notesText, onSelect }) {
    this.roll = roll;
    this.keyboard = keyboard;
    this.notesText = notesText;
    this.onSelect = onSelect;
    this.range = { min: 36, max: 84 };
    this.playing = -1;
    this.preview = null; // {notes, labels, label}: a voicing heard on its own, shown until the next redraw
  }

  setRange(min, max) { this.range = { min, max }; }

  // The drawn range: the chosen preset widened to whole octaves and to every sounding note.
  drawnRange(slots) {
    let low = this.range.min;
    let high = this.range.max;
    for (const slot of slots) for (const n of slot.notes) { low = Math.min(low, n); high = Math.max(high, n); }
    low = Math.max(0, low - (low % 12));
    high = Math.min(127, high + (11 - (high % 12)));
    return { low, high };
  }

  render(state) {
    const { low, high } = this.drawnRange(state.slots);
    this.renderRoll(state, low, high);
    this.renderKeyboard(state, low, high);
    const slot = state.selected;
    if (this.preview) {
      this.notesText.textContent = `${this.preview.label}: ${voicingNoteNames(this.preview.notes, this.preview.labels).join(' ')} (MIDI ${this.preview.notes.join(' ')})`;
    } else if (slot && slot.notes.length) {
      this.notesText.textContent = `${slot.display || slot.chord}: ${voicingNoteNames(slot.notes, slot.labels).join(' ')} (MIDI ${slot.notes.join(' ')})`;
    } else if (slot) {
      this.notesText.textContent = `${slot.chord}: not voiced yet`;
    } else {
      this.notesText.textContent = '';
    }
  }

  renderRoll(state, low, high) {
    const rows = high - low + 1;
    const columns = Math.max(state.slots.length, 1);
    // Columns share the width the view has, and never get narrower than a readable symbol.
    const columnWidth = Math.max(COLUMN_WIDTH, Math.min(160, Math.floor((this.roll.clientWidth - KEY_STRIP - 2) / columns)));
    const width = KEY_STRIP + columns * columnWidth;
    const height = rows * ROW_HEIGHT + 18;
    const root = svg('svg', { viewBox: `0 0 ${width} ${height}`, width, height, role: 'img' });
    const described = state.slots.map((s) => `${s.display || s.chord}: ${s.notes.length ? voicingNoteNames(s.notes, s.labels).join(' ') : 'not voiced'}`);
    root.setAttribute('aria-label', described.length ? `Piano roll. ${described.join('; ')}` : 'Piano roll, empty');
    const y = (midi) => (high - midi) * ROW_HEIGHT + 18;
    for (let m = low; m <= high; m += 1) {
      root.append(svg('rect', { x: 0, y: y(m), width: KEY_STRIP - 2, height: ROW_HEIGHT, class: isBlackKey(m) ? 'strip-black' : 'strip-white' }));
      root.append(svg('rect', { x: KEY_STRIP, y: y(m), width: columns * columnWidth, height: ROW_HEIGHT, class: isBlackKey(m) ? 'lane-black' : 'lane-white' }));
      if (m % 12 === 0) {
        const label = svg('text', { x: 2, y: y(m) + ROW_HEIGHT - 1, class: 'strip-label' });
        label.textContent = noteName(m);
        root.append(label);
      }
    }
    state.slots.forEach((slot, i) => {
      const x = KEY_STRIP + i * columnWidth;
      const column = svg('g', { class: `column${i === state.cursor ? ' selected' : ''}${i === this.playing ? ' playing' : ''}`, 'data-slot': i });
      column.append(svg('rect', { x, y: 0, width: columnWidth, height, class: 'column-back' }));
      const title = svg('text', { x: x + 4, y: 13, class: 'column-title' });
      title.textContent = slot.display || slot.chord;
      column.append(title);
      const names = voicingNoteNames(slot.notes, slot.labels);
      slot.notes.forEach((n, k) => {
        const note = svg('rect', { x: x + 4, y: y(n) + 0.5, width: columnWidth - 8, height: ROW_HEIGHT - 1, rx: 2, class: 'note', 'data-midi': n, 'data-slot': i });
        const tip = svg('title');
        tip.textContent = names[k];
        note.append(tip);
        column.append(note);
      });
      column.addEventListener('click', () => this.onSelect(i));
      root.append(column);
    });
    this.roll.replaceChildren(root);
  }

  renderKeyboard(state, low, high) {
    const source = this.preview || state.selected || { notes: [], labels: [] };
    const shown = source.notes;
    const names = voicingNoteNames(shown, source.labels);
    const sounding = new Map(shown.map((n, k) => [n, names[k]]));
    const keys = document.createElement('div');
    keys.className = 'keys';
    for (let m = low; m <= high; m += 1) {
      const key = document.createElement('div');
      key.className = `key ${isBlackKey(m) ? 'black' : 'white'}${sounding.has(m) ? ' down' : ''}`;
      key.dataset.midi = String(m);
      key.title = sounding.get(m) || noteName(m);
      if (sounding.has(m)) {
        const label = document.createElement('span');
        label.textContent = sounding.get(m);
        key.append(label);
      }
      keys.append(key);
    }
    const slot = state.selected;
    const name = this.preview ? this.preview.label : (slot ? slot.display || slot.chord : '');
    this.keyboard.setAttribute('role', 'img');
    this.keyboard.setAttribute('aria-label', shown.length ? `Keyboard: ${name} sounds ${names.join(' ')}` : 'Keyboard: nothing selected');
    this.keyboard.replaceChildren(keys);
  }
}
