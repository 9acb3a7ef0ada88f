// Reads a chord chart as it is pasted: the chords between bar lines, each with its share of
// its bar, and lead-sheet spellings the engine's catalogue does not hold (G7+, Bbm/maj7, F#h7)
// rewritten into catalogue spellings through the table the engine uses as well.
import { CHART_SPELLINGS } from './chart_spellings.js';

const SPELLINGS = new Map(CHART_SPELLINGS);

// The root letter and its run of one accidental, as the engine splits a root or a bass.
function splitRoot(text) {
  if (!/^[A-Ga-g]/.test(text)) return null;
  let length = 1;
  if (text[1] === 'b' || text[1] === '#') while (text[length] === text[1]) length += 1;
  return { token: text.slice(0, length), rest: text.slice(length) };
}

function isNote(text) {
  const root = splitRoot(text);
  return root !== null && root.rest === '';
}

// The catalogue spelling of a chart symbol when the table rewrites its quality, else null.
// The root and a slash bass stay as written.
export function rewriteChartSymbol(symbol) {
  const root = splitRoot(String(symbol).trim());
  if (!root || root.rest === '') return null;
  const whole = SPELLINGS.get(root.rest);
  if (whole !== undefined) return root.token + whole;
  // A slash bass after a chart quality; the quality may hold a slash of its own (m/maj7/G).
  for (let slash = root.rest.indexOf('/'); slash >= 0; slash = root.rest.indexOf('/', slash + 1)) {
    const quality = SPELLINGS.get(root.rest.slice(0, slash));
    if (quality === undefined) continue;
    const bass = root.rest.slice(slash + 1);
    return isNote(bass) ? `${root.token}${quality}/${bass}` : null;
  }
  return null;
}

// "NC" and "N.C.", in either case: a share of the bar where no chord plays.
export function isNoChordMark(token) { return /^n\.?c\.?$/i.test(String(token)); }

const BLANKS = /[ \t\n\v\f\r,]+/;

// The chord tokens of a chart with their shares of the bars: [{text, share: {bar, part, parts}}].
// Bar lines divide the bars and the chords of one bar share it equally; without bar lines every
// chord has a bar of its own. A "%" with nothing before it repeats nothing and is left out.
export function chartTokens(text) {
  const source = String(text);
  const words = (stretch) => stretch.split(BLANKS).filter((w) => w !== '');
  const bars = source.includes('|') ? source.split('|').map(words) : words(source).map((w) => [w]);
  const tokens = [];
  let bar = 0;
  for (const group of bars) {
    let chords = group;
    if (tokens.length === 0) {
      const first = group.findIndex((w) => w !== '%');
      chords = first < 0 ? [] : group.slice(first);
    }
    if (chords.length === 0) continue;
    chords.forEach((word, part) => tokens.push({ text: word, share: { bar, part, parts: chords.length } }));
    bar += 1;
  }
  return tokens;
}
