// The degree-by-degree chord editor: the modifiers the engine offers for the selected chord,
// which are active, which cannot be chosen, and which would change the voicing style.
import { ask } from './status.js';

const GROUP_TITLES = { third: 'Third', fifth: 'Fifth', sixth: 'Sixth', seventh: 'Seventh', ninth: 'Ninth', eleventh: 'Eleventh', thirteenth: 'Thirteenth', slash: 'Bass' };
const SWITCHABLE = new Set(['sixth', 'seventh', 'ninth', 'eleventh', 'thirteenth']);

function groupOf(id) {
  const dash = id.indexOf('-');
  return dash > 0 ? id.slice(0, dash) : '';
}

// The selection after choosing `id`: one choice per degree; choosing an active added degree
// switches it off, while a third or fifth is only ever replaced.
export function toggleModifier(ids, id) {
  const group = groupOf(id);
  if (!group) return [id];
  const kept = ids.filter((other) => groupOf(other) !== group);
  if (ids.includes(id) && SWITCHABLE.has(group)) return kept;
  return [...kept, id];
}

export class ChordEditor {
  constructor({ bridge, status, state, container, bassInput, bassButton, onChange }) {
    Object.assign(this, { bridge, status, state, container, bassInput, bassButton, onChange });
    this.active = [];
    this.chord = '';
    this.generation = 0;
    this.bassButton.addEventListener('click', () => this.setBass());
    this.bassInput.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); this.setBass(); } });
  }

  async refresh() {
    const slot = this.state.selected;
    const ticket = ++this.generation;
    if (!slot) { this.container.replaceChildren(); this.chord = ''; return; }
    const reply = await ask(this.bridge, this.status, 'get_available_modifiers', { chord: slot.chord, voicingStyle: this.state.options.style }, { quiet: true });
    if (ticket !== this.generation) return;
    if (!reply || reply.error) {
      const p = document.createElement('p');
      p.className = 'hint';
      p.textContent = `No degrees to edit for ${slot.chord}.`;
      this.container.replaceChildren(p);
      return;
    }
    this.chord = slot.chord;
    this.active = Array.isArray(reply.active) ? reply.active : [];
    this.render(reply);
  }

  render(reply) {
    const disabled = new Set(reply.disabled || []);
    const changesStyle = new Set(reply.causesVoicingChange || []);
    const groups = new Map();
    for (const m of reply.modifiers || []) {
      if (!groups.has(m.category)) groups.set(m.category, []);
      groups.get(m.category).push(m);
    }
    const title = document.createElement('p');
    title.className = 'editor-chord';
    title.textContent = `Editing ${this.chord}`;
    const rows = [title];
    for (const [category, modifiers] of groups) {
      if (category === 'slash') continue; // the bass field below does this
      const row = document.createElement('div');
      row.className = 'modifier-row';
      row.setAttribute('role', 'group');
      row.setAttribute('aria-label', GROUP_TITLES[category] || category);
      const label = document.createElement('span');
      label.className = 'modifier-group';
      label.textContent = GROUP_TITLES[category] || category;
      label.setAttribute('aria-hidden', 'true');
      row.append(label);
      for (const m of modifiers) {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'modifier';
        button.dataset.id = m.id;
        button.textContent = m.label + (changesStyle.has(m.id) ? '*' : '');
        button.setAttribute('aria-pressed', this.active.includes(m.id) ? 'true' : 'false');
        button.setAttribute('aria-label', `${GROUP_TITLES[category] || category} ${m.label}${changesStyle.has(m.id) ? ', changes the voicing style' : ''}`);
        if (disabled.has(m.id)) button.disabled = true;
        button.addEventListener('click', () => this.choose(m.id));
        row.append(button);
      }
      rows.push(row);
    }
    this.container.replaceChildren(...rows);
  }

  async choose(id) {
    if (!this.chord) return;
    const ids = toggleModifier(this.active, id);
    const focusId = id;
    const reply = await ask(this.bridge, this.status, 'apply_modifiers', { chord: this.chord, modifiers: ids, style: this.state.options.style, octave: this.state.options.octave });
    if (!reply || reply.error || typeof reply.chord !== 'string') return;
    await this.onChange(reply.chord);
    const again = this.container.querySelector(`button[data-id="${focusId}"]`);
    if (again && !again.disabled) again.focus();
  }

  async setBass() {
    if (!this.chord) return;
    const bass = this.bassInput.value.trim();
    const reply = await ask(this.bridge, this.status, 'apply_modifiers', { chord: this.chord, modifiers: [], bass });
    if (!reply || typeof reply.chord !== 'string') return;
    this.bassInput.value = '';
    await this.onChange(reply.chord);
  }
}
