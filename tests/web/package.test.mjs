// The page as the host application's package ships it: loaded by a file URL (where Chromium
// refuses module scripts) in a stand-in web view whose window.max hands every message to a
// stand-in tonalweaver object, `tonalweaver host`. TONALWEAVER_PACKAGED_PAGE names the folder
// holding the bundled page (default: bundled now into a temporary folder).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launchBrowser, SKIP_STATUS } from './chromium_launch.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repository = path.resolve(here, '..', '..');
const binary = path.resolve(process.env.TONALWEAVER_BINARY || path.join(repository, 'build', 'tonalweaver'));
const TEST_TIMEOUT_MS = 240000;

let browser;
let pageFolder;
let temporary;

// One host message into a fresh object; the messages it sent, in order.
function hostObject(atoms) {
  const out = execFileSync(binary, ['host', '--clipboard', 'memory'], { input: `${JSON.stringify(atoms)}\n`, encoding: 'utf8' });
  return out.split('\n').filter(Boolean).map((line) => JSON.parse(line));
}

function engine(type, payload) {
  return JSON.parse(execFileSync(binary, ['request', type, JSON.stringify(payload)], { encoding: 'utf8' })).payload;
}

// The web view's API as the host provides it: outlet() leaves the jweb object, and the
// object's replies come back to the inlets the page bound.
function standInWebView() {
  const inlets = {};
  window.max = {
    bindInlet(name, fn) { inlets[name] = fn; },
    outlet(...atoms) {
      window.twHostObject(atoms).then((messages) => {
        for (const m of messages) {
          const [selector, ...rest] = m.atoms;
          if (m.outlet === 0 && inlets[selector]) inlets[selector](...rest);
        }
      });
    },
  };
}

before(async () => {
  pageFolder = process.env.TONALWEAVER_PACKAGED_PAGE;
  if (!pageFolder) {
    temporary = mkdtempSync(path.join(tmpdir(), 'tonalweaver-package-'));
    pageFolder = temporary;
    execFileSync(path.join(repository, 'scripts', 'bundle-page'), [pageFolder], { stdio: 'inherit' });
  }
  try {
    browser = await launchBrowser();
  } catch (problem) {
    console.log(`SKIP: Chromium cannot start here (${String(problem.message).split('\n')[0]}); the browser tests are skipped`);
    process.exit(SKIP_STATUS);
  }
}, { timeout: 180000 });

after(async () => {
  if (browser) await browser.close();
  if (temporary) rmSync(temporary, { recursive: true, force: true });
});

test('the packaged page works from a file URL inside the host web view', { timeout: TEST_TIMEOUT_MS }, async () => {
  const pageFile = path.join(pageFolder, 'tonalweaver.html');
  assert.ok(existsSync(pageFile), `${pageFile} was bundled`);
  const page = await browser.context.newPage();
  const problems = [];
  page.on('pageerror', (problem) => problems.push(problem.message));
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  try {
    await page.exposeBinding('twHostObject', (_source, atoms) => hostObject(atoms));
    await page.addInitScript(standInWebView);
    await page.goto(pathToFileURL(pageFile).href);
    await page.waitForSelector('body[data-ready="true"]', { timeout: 90000 });
    assert.equal(await page.locator('script[type="module"]').count(), 0);

    const box = page.locator('#auto-voice-lead');
    if (!(await box.isChecked())) await box.click();
    await page.fill('#progression-text', 'Dm7 G7 Cmaj7');
    await page.press('#progression-text', 'Enter');
    await page.waitForFunction(() => /Voiced 3 chords with voice leading/.test(document.getElementById('messages').textContent));
    const expected = engine('generate_progression', {
      slots: ['Dm7', 'G7', 'Cmaj7'].map((chord) => ({ chord, style: 'closed', octave: 4, inversion: 0, drop_bass: false, auto_voiced: true })),
      auto_voice_lead: true, allow_bass_changes: false, key: { root: 'C', mode: 'major', minorScaleType: 'natural' },
    });
    const roll = await page.$$eval('#piano-roll g.column', (columns) => columns.map((c) => [...c.querySelectorAll('rect.note')].map((r) => Number(r.dataset.midi))));
    assert.deepEqual(roll, expected.voicings);
    assert.deepEqual(problems, []);
  } finally {
    await page.close();
  }
});
