// Next-chord suggestions at the selected chord: insert after it or replace it.
import { ask } from './status.js';

const CATEGORY_NAMES = {
  smart: 'from the corpus',
  diatonic: 'diatonic',
  secondary_dominant: 'secondary dominant',
  modal_interchange: 'borrowed',
  tritone_sub: 'tritone substitute',
  diminished_approach: 'diminished approach',
  chromatic_mediant: 'chromatic mediant',
};

const SHOWN = 24;

export class SuggestionsPanel {
  constructor({ bridge, status, state, list, shuffle, onTake }) {
    Object.assign(this, { bridge, status, state, list, shuffle, onTake });
    this.generation = 0;
  }

  mode() {
    const checked = document.querySelector('input[name="suggest-mode"]:checked');
    return checked ? checked.value : 'insert';
  }

  payload() {
    const { state } = this;
    const chords = state.slots.map((s) => s.chord);
    const mode = this.mode();
    const at = state.cursor;
    const payload = {
      root: state.key.root,
      mode: state.key.mode,
      minorScaleType: state.key.minorScaleType,
      spellingPreference: state.spelling,
      voicingStyle: state.options.style,
      octave: state.options.octave,
      drop_bass: state.options.dropBass,
      shuffleMode: this.shuffle.checked,
    };
    if (chords.length === 0) return { ...payload, prevChords: [], position: 'append' };
    if (mode === 'replace') {
      return { ...payload, prevChords: chords.slice(0, at), currentChord: chords[at], ...(at + 1 < chords.length ? { nextChord: chords[at + 1] } : {}), position: 'replace' };
    }
    const last = at === chords.length - 1;
    return { ...payload, prevChords: chords.slice(0, at + 1), ...(last ? {} : { nextChord: chords[at + 1] }), position: last ? 'append' : 'insert' };
  }

  async refresh() {
    const ticket = ++this.generation;
    const reply = await ask(this.bridge, this.status, 'get_suggestions', this.payload());
    if (ticket !== this.generation || !reply) return;
    this.render(Array.isArray(reply.suggestions) ? reply.suggestions : []);
  }

  render(suggestions) {
    const where = this.mode() === 'replace' ? 'replace the selected chord with' : 'insert after the selected chord:';
    const buttons = suggestions.slice(0, SHOWN).map((s) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = `suggestion cat-${s.category}`;
      button.dataset.symbol = s.symbol;
      button.setAttribute('aria-label', `${where} ${s.symbol}, ${s.roman || ''}, ${CATEGORY_NAMES[s.category] || s.category}${s.label && s.label !== s.roman ? `, ${s.label}` : ''}`);
      const symbol = document.createElement('strong');
      symbol.textContent = s.symbol;
      const roman = document.createElement('span');
      roman.className = 'roman';
      roman.textContent = s.roman || '';
      const kind = document.createElement('small');
      kind.textContent = s.label && s.label !== s.roman ? s.label : (CATEGORY_NAMES[s.category] || s.category);
      button.append(symbol, roman, kind);
      if (s.isCurrent) button.classList.add('current');
      button.addEventListener('click', () => this.onTake(s, this.mode()));
      return button;
    });
    if (buttons.length === 0) {
      const none = document.createElement('p');
      none.className = 'hint';
      none.textContent = 'No suggestions here.';
      this.list.replaceChildren(none);
      return;
    }
    this.list.replaceChildren(...buttons);
  }
}
