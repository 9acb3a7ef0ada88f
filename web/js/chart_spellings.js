// Chart spellings of chord qualities and the catalogue spelling each is read as: the same
// rows as the engine's table in data/chart_spellings.inc, where the evidence for each reading
// is written (a test of the engine keeps the two equal).
export const CHART_SPELLINGS = [
  ['7+', '7#5'],
  ['9+', '9#5'],
  ['M7+', 'maj7#5'],
  ['m+', 'm#5'],
  ['maug', 'm#5'],
  ['m/maj7', 'mM7'],
  ['M6', '6'],
  ['M69', '69'],
  ['M69#11', '69#11'],
  ['M7#9b5', 'maj7b5#9'],
  ['M#5add9', 'add9#5'],
  ['+add9', 'add9#5'],
  ['7sus4b9', '7b9sus4'],
  ['7susb9', '7b9sus4'],
  ['7add6', '7add13'],
  ['7b6', '7b13'],
  ['add9no3', 'sus2'],
  ['2', 'sus2'],
  ['4', 'sus4'],
  ['h7', 'm7b5'],
  ['h', 'm7b5'],
  ['07', 'm7b5'],
  ['0', 'm7b5'],
];
