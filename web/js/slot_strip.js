// The chords of the progression as a list of options, one tab stop for the whole list (arrow
// keys move between chords), each showing its symbol, numeral and notes, what a chart spelling
// was read as, and a chord the engine cannot read marked as skipped.
import { voicingNoteNames } from './note_names.js';

export class SlotStrip {
  constructor({ container, state, onSelect, onAudition, onRemove }) {
    Object.assign(this, { container, state, onSelect, onAudition, onRemove });
    this.playing = -1;
    container.addEventListener('keydown', (e) => this.onKey(e));
  }

  render() {
    const { state } = this;
    const focusedInside = this.container.contains(document.activeElement);
    if (state.slots.length === 0) {
      const empty = document.createElement('p');
      empty.className = 'hint';
      empty.textContent = 'No chords yet: type some above, generate a progression or take a suggestion.';
      this.container.replaceChildren(empty);
      this.container.removeAttribute('aria-activedescendant');
      return;
    }
    const options = state.slots.map((slot, i) => {
      const option = document.createElement('div');
      option.className = `slot${slot.anchor ? ' anchor' : ''}${slot.unread && !slot.rest ? ' unread' : ''}${slot.rest ? ' rest' : ''}${i === this.playing ? ' playing' : ''}`;
      option.id = `slot-${i}`;
      option.setAttribute('role', 'option');
      option.setAttribute('aria-selected', i === state.cursor ? 'true' : 'false');
      option.tabIndex = i === state.cursor ? 0 : -1;
      option.dataset.index = String(i);
      const symbol = document.createElement('span');
      symbol.className = 'slot-symbol';
      symbol.textContent = slot.unread ? slot.typed || slot.chord : slot.display || slot.chord;
      const roman = document.createElement('span');
      roman.className = 'slot-roman';
      roman.textContent = slot.roman || ' ';
      const names = voicingNoteNames(slot.notes, slot.labels).join(' ');
      const notes = document.createElement('span');
      notes.className = 'slot-notes';
      notes.textContent = slot.rest ? 'no chord' : slot.unread ? 'not read: skipped' : slot.notes.length ? names : '—';
      option.append(symbol, roman, notes);
      const readAs = !slot.unread && slot.typed && slot.typed !== slot.chord ? `${slot.typed} read as ${slot.chord}` : '';
      if (readAs) {
        const note = document.createElement('span');
        note.className = 'slot-read';
        note.textContent = readAs;
        option.append(note);
      }
      if (slot.anchor) {
        const pin = document.createElement('span');
        pin.className = 'slot-anchor';
        pin.textContent = 'anchor';
        option.append(pin);
      }
      const label = slot.rest ? `${i + 1}: ${slot.typed}, no chord`
        : slot.unread ? `${i + 1}: ${slot.typed || slot.chord}, not a chord the engine reads, skipped`
        : `${i + 1}: ${slot.display || slot.chord}${readAs ? ` (${readAs})` : ''}${slot.roman ? `, ${slot.roman}` : ''}${slot.anchor ? ', anchor' : ''}${slot.notes.length ? `, notes ${names}` : ''}`;
      option.setAttribute('aria-label', label);
      option.addEventListener('click', () => { this.onSelect(i); this.onAudition(i); });
      return option;
    });
    this.container.replaceChildren(...options);
    if (focusedInside) this.focusSelected();
  }

  focusSelected() {
    const el = this.container.querySelector('[aria-selected="true"]');
    if (el) el.focus();
  }

  onKey(e) {
    const { state } = this;
    if (state.slots.length === 0) return;
    const moves = { ArrowLeft: -1, ArrowUp: -1, ArrowRight: 1, ArrowDown: 1 };
    let target = null;
    if (e.key in moves) target = state.cursor + moves[e.key];
    else if (e.key === 'Home') target = 0;
    else if (e.key === 'End') target = state.slots.length - 1;
    if (target !== null) {
      e.preventDefault();
      this.onSelect(Math.max(0, Math.min(target, state.slots.length - 1)));
      this.focusSelected();
      return;
    }
    if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); this.onAudition(state.cursor); return; }
    if (e.key === 'Delete' || e.key === 'Backspace') { e.preventDefault(); this.onRemove(); }
  }
}
