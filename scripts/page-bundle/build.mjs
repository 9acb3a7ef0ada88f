// Builds the page for the host application's web view, which loads it by a file URL and so
// cannot run ES module scripts: the modules under web/js become one classic script, and the
// page's markup points at it. Usage: node build.mjs OUTPUT_FOLDER
import { build } from 'esbuild';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const web = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'web');
const output = process.argv[2];
if (!output) {
  console.error('usage: node build.mjs OUTPUT_FOLDER');
  process.exit(2);
}

// Unique names: the host finds the page by name on its search path.
const PAGE = 'tonalweaver.html';
const SCRIPT = 'tonalweaver-ui.js';
const STYLE = 'tonalweaver-ui.css';

function replaceOnce(text, from, to) {
  const at = text.indexOf(from);
  if (at < 0 || text.indexOf(from, at + 1) >= 0) throw new Error(`web/index.html must hold ${from} exactly once`);
  return text.slice(0, at) + to + text.slice(at + from.length);
}

mkdirSync(output, { recursive: true });
await build({
  entryPoints: [path.join(web, 'js', 'app.js')],
  bundle: true,
  format: 'iife',
  target: 'es2020',
  outfile: path.join(output, SCRIPT),
  legalComments: 'none',
  logLevel: 'warning',
});
let markup = readFileSync(path.join(web, 'index.html'), 'utf8');
markup = replaceOnce(markup, '<script type="module" src="js/app.js"></script>', `<script defer src="${SCRIPT}"></script>`);
markup = replaceOnce(markup, '<link rel="stylesheet" href="style.css">', `<link rel="stylesheet" href="${STYLE}">`);
writeFileSync(path.join(output, PAGE), markup);
copyFileSync(path.join(web, 'style.css'), path.join(output, STYLE));
console.log(`page for the host's web view: ${path.join(output, PAGE)}`);
