// Two lists of chords to pick from: the diatonic chords of the key (inserted after the selected
// chord) and the catalogue of qualities (given to the selected chord's root).
import { ask } from './status.js';

const $ = (id) => document.getElementById(id);

export class DiatonicPalette {
  constructor({ bridge, status, state, onInsert }) { Object.assign(this, { bridge, status, state, onInsert }); }

  async refresh() {
    if (!$('palette-box').open) return;
    const { key, spelling } = this.state;
    const reply = await ask(this.bridge, this.status, 'get_diatonic_chords', {
      root: key.root, mode: key.mode, minorScaleType: key.minorScaleType,
      diatonicExtension: Number($('palette-size').value), spellingPreference: spelling,
    });
    if (!reply) return;
    const buttons = (reply.chords || []).map((c) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'chip';
      button.dataset.symbol = c.symbol;
      const symbol = document.createElement('strong');
      symbol.textContent = c.symbol;
      const roman = document.createElement('span');
      roman.textContent = ` ${c.roman}`;
      button.append(symbol, roman);
      button.setAttribute('aria-label', `Insert ${c.symbol}, ${c.roman}`);
      button.addEventListener('click', () => this.onInsert(c.symbol));
      return button;
    });
    $('palette').replaceChildren(...buttons);
  }
}

const QUALITIES_SHOWN = 80;

export class QualityList {
  constructor({ bridge, status, state, onReplace }) {
    Object.assign(this, { bridge, status, state, onReplace });
    this.qualities = null; // asked for once, when the list is first opened
  }

  async show() {
    if (!$('qualities-box').open) return;
    if (!this.qualities) {
      const reply = await ask(this.bridge, this.status, 'get_supported_qualities', {});
      if (!reply) return;
      this.qualities = Array.isArray(reply.qualities) ? reply.qualities : [];
    }
    const filter = $('qualities-filter').value.trim();
    const shown = this.qualities.filter((q) => q.symbol.includes(filter)).slice(0, QUALITIES_SHOWN);
    const buttons = shown.map((q) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'chip';
      button.textContent = q.symbol;
      button.title = `intervals ${q.intervals.join(' ')}`;
      button.addEventListener('click', () => this.give(q.symbol));
      return button;
    });
    const count = document.createElement('p');
    count.className = 'hint';
    count.textContent = `${shown.length} of ${this.qualities.length} qualities shown.`;
    $('qualities').replaceChildren(count, ...buttons);
  }

  // The selected chord keeps its root and bass and takes the quality.
  async give(quality) {
    const slot = this.state.selected;
    if (!slot) { this.status.info('Select a chord first.'); return; }
    const parsed = await ask(this.bridge, this.status, 'parse_chord', { chord: slot.chord });
    if (!parsed) return;
    await this.onReplace(`${parsed.root}${quality}${parsed.bass ? `/${parsed.bass}` : ''}`);
  }
}
