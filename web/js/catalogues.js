// The engine's constant catalogues, asked for once when the page starts: version, voicing
// styles, register presets and rhythm patterns, each filled into its control.
import { ask } from './status.js';

const $ = (id) => document.getElementById(id);

export async function loadCatalogues({ bridge, status, style }) {
  const styleNames = new Map();
  const rhythms = new Map();
  let range = null;

  const version = await ask(bridge, status, 'get_version', {}, { quiet: true });
  if (version && version.version) $('version').textContent = `engine ${version.version}`;

  const styles = await ask(bridge, status, 'get_voicing_styles', {});
  const styleSelect = $('voicing-style');
  for (const s of (styles && styles.styles) || [{ id: 'closed', name: 'Closed' }]) {
    styleNames.set(s.id, s.name);
    const option = new Option(s.name, s.id);
    if (s.description) option.title = s.description;
    styleSelect.append(option);
  }
  styleSelect.value = style;

  const presets = await ask(bridge, status, 'get_range_presets', {});
  const rangeSelect = $('view-range');
  const presetMap = (presets && presets.presets) || {};
  for (const [id, p] of Object.entries(presetMap)) {
    const option = new Option(`${p.name}`, id);
    option.dataset.min = p.min;
    option.dataset.max = p.max;
    rangeSelect.append(option);
  }
  if (presetMap.auto) rangeSelect.value = 'auto';
  const chosen = rangeSelect.selectedOptions[0];
  if (chosen) range = { min: Number(chosen.dataset.min), max: Number(chosen.dataset.max) };

  const patterns = await ask(bridge, status, 'get_rhythm_patterns', {});
  const entries = Object.entries((patterns && patterns.patterns) || {}).sort((a, b) => a[1].order - b[1].order);
  const groups = new Map();
  for (const [id, p] of entries) {
    rhythms.set(id, p);
    if (!groups.has(p.category)) {
      const group = document.createElement('optgroup');
      group.label = p.category;
      groups.set(p.category, group);
    }
    const option = new Option(p.name, id);
    option.title = p.description;
    groups.get(p.category).append(option);
  }
  $('rhythm').append(...groups.values());
  if (rhythms.size === 0) $('rhythm').append(new Option('Whole Note', 'none'));

  return { styleNames, rhythms, range };
}
