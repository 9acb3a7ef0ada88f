// End-to-end tests of the page: `tonalweaver serve` on a free loopback port, driven in headless
// Chromium. TONALWEAVER_BINARY names the command (default: build/tonalweaver of this tree);
// TONALWEAVER_SCREENSHOT names where the screenshot goes (default: docs/screenshot.png).
import { test, before, after, beforeEach, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { readFileSync, mkdirSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, SKIP_STATUS } from './chromium_launch.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repository = path.resolve(here, '..', '..');
const binary = path.resolve(process.env.TONALWEAVER_BINARY || path.join(repository, 'build', 'tonalweaver'));
const screenshotPath = path.resolve(process.env.TONALWEAVER_SCREENSHOT || path.join(repository, 'docs', 'screenshot.png'));

// Generous: the machines that run these are small and often busy.
const TEST_TIMEOUT_MS = 240000;

let server;
let baseUrl;
let browser;
let page;
const pageErrors = [];

function startServer() {
  return new Promise((resolve, reject) => {
    const child = spawn(binary, ['serve', '--port', '0', '--host', '127.0.0.1', '--clipboard', 'memory'], { stdio: ['ignore', 'pipe', 'pipe'] });
    let seen = '';
    let errors = '';
    const timer = setTimeout(() => reject(new Error(`no URL line from ${binary} serve within 30 s; stderr: ${errors}`)), 30000);
    child.stdout.on('data', (data) => {
      seen += data;
      const found = /tonalweaver serving (http:\/\/\S+)/.exec(seen);
      if (found) { clearTimeout(timer); resolve({ child, url: found[1].endsWith('/') ? found[1] : `${found[1]}/` }); }
    });
    child.stderr.on('data', (data) => { errors += data; });
    child.on('error', (problem) => { clearTimeout(timer); reject(problem); });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`${binary} serve ended with status ${code}; stderr: ${errors}`)); });
  });
}

// The engine's own answer to one request, for comparing with what the page shows.
function engine(type, payload) {
  const out = execFileSync(binary, ['request', type, JSON.stringify(payload)], { encoding: 'utf8' });
  return JSON.parse(out).payload;
}

// Waits until no request has been outstanding for a short while. Some events (a details
// element's "toggle") are dispatched a task after the click, so a frame and a task pass first.
async function settle(quietMs = 350) {
  await page.evaluate(() => new Promise((resolve) => {
    setTimeout(() => requestAnimationFrame(() => setTimeout(resolve, 0)), 0);
  }));
  await page.waitForFunction((ms) => {
    const main = document.getElementById('main');
    const since = Number(main.dataset.idleSince || 0);
    return main.getAttribute('aria-busy') === 'false' && since > 0 && Date.now() - since >= ms;
  }, quietMs, { timeout: 90000, polling: 50 });
}

async function openPage() {
  await page.goto(baseUrl);
  await page.waitForSelector('body[data-ready="true"]', { timeout: 90000 });
  await settle();
}

async function enterProgression(text) {
  await page.fill('#progression-text', text);
  await page.press('#progression-text', 'Enter');
  await settle();
}

async function setVoiceLeading(on) {
  const box = page.locator('#auto-voice-lead');
  if ((await box.isChecked()) !== on) { await box.click(); await settle(); }
}

// The notes of every chord as the page holds them (read from the piano roll).
async function rollNotes() {
  return page.$$eval('#piano-roll g.column', (columns) => columns.map((c) => [...c.querySelectorAll('rect.note')].map((r) => Number(r.dataset.midi))));
}

before(async () => {
  try {
    browser = await launchBrowser();
  } catch (problem) {
    console.log(`SKIP: Chromium cannot start here (${String(problem.message).split('\n')[0]}); the browser tests are skipped`);
    process.exit(SKIP_STATUS);
  }
  ({ child: server, url: baseUrl } = await startServer());
  page = await browser.context.newPage();
  page.setDefaultTimeout(60000); // sanitizer builds of the server answer slowly
  page.on('pageerror', (problem) => pageErrors.push(problem.message));
}, { timeout: 180000 });

after(async () => {
  if (browser) await browser.close();
  if (server && server.exitCode === null) {
    const ended = new Promise((resolve) => server.once('exit', resolve));
    server.kill('SIGTERM');
    await Promise.race([ended, new Promise((resolve) => setTimeout(resolve, 5000))]);
  }
});

beforeEach(async () => { await openPage(); });

afterEach(() => {
  const seen = pageErrors.splice(0);
  assert.deepEqual(seen, [], 'the page raised no script error');
});

test('a typed progression is voiced with voice leading, as the engine voices it', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  await enterProgression('Dm7 | G7 | Cmaj7 %');
  assert.equal(await page.locator('#slots [role="option"]').count(), 4);
  assert.match(await page.locator('#messages').innerText(), /Voiced 4 chords with voice leading/);
  const expected = engine('generate_progression', {
    slots: ['Dm7', 'G7', 'Cmaj7', 'Cmaj7'].map((chord) => ({ chord, style: 'closed', octave: 4, inversion: 0, drop_bass: false, auto_voiced: true })),
    auto_voice_lead: true, allow_bass_changes: false, key: { root: 'C', mode: 'major', minorScaleType: 'natural' },
  });
  assert.deepEqual(await rollNotes(), expected.voicings);
  const romans = await page.$$eval('#slots .slot-roman', (els) => els.map((e) => e.textContent));
  assert.deepEqual(romans, expected.display_romans);
});

test('without voice leading every chord is voiced on its own', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await enterProgression('Dm7 G7 Cmaj7');
  assert.match(await page.locator('#messages').innerText(), /Voiced 3 chords\./);
  const expected = ['Dm7', 'G7', 'Cmaj7'].map((chord) => engine('generate_voicing', { chord, style: 'closed' }).notes);
  assert.deepEqual(await rollNotes(), expected);
});

test('an anchored chord keeps its own voicing while voice leading moves the others', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  await enterProgression('C F G C');
  const before = await rollNotes();
  await page.click('#slots [role="option"]:nth-child(2)');
  await settle();
  await page.click('#slot-anchor');
  await settle();
  assert.equal(await page.getAttribute('#slot-anchor', 'aria-pressed'), 'true');
  assert.deepEqual((await rollNotes())[1], before[1], 'anchoring keeps the voicing it had');
  await page.fill('#slot-inversion', '1');
  await page.press('#slot-inversion', 'Enter');
  await settle();
  const slot = (chord, anchor = false) => ({ chord, style: 'closed', octave: 4, inversion: anchor ? 1 : 0, drop_bass: false, auto_voiced: !anchor });
  const expected = engine('generate_progression', {
    slots: [slot('C'), slot('F', true), slot('G'), slot('C')],
    auto_voice_lead: true, allow_bass_changes: false, key: { root: 'C', mode: 'major', minorScaleType: 'natural' },
  });
  assert.deepEqual(await rollNotes(), expected.voicings);
  assert.deepEqual(expected.voicings[1], engine('generate_voicing', { chord: 'F', style: 'closed', inversion: 1 }).notes);
});

test('the keyboard view shows the notes of the selected chord', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await enterProgression('Am F C G');
  await page.click('#slots [role="option"]:nth-child(2)');
  await settle();
  const fNotes = engine('generate_voicing', { chord: 'F', style: 'closed' }).notes;
  const down = await page.$$eval('#keyboard .key.down', (keys) => keys.map((k) => Number(k.dataset.midi)));
  assert.deepEqual(down, fNotes);
  const inColumn = await page.$$eval('#piano-roll rect.note[data-slot="1"]', (rects) => rects.map((r) => Number(r.dataset.midi)));
  assert.deepEqual(inColumn, fNotes);
  assert.match(await page.locator('#voicing-notes').innerText(), /^F.*: F4 A4 C5/);

  // A style that suits the chord can be heard on its own and shows on the keyboard.
  const styleButton = page.locator('#style-hint button.style-preview').last();
  const style = await styleButton.getAttribute('data-style');
  await styleButton.click();
  await settle();
  const preview = engine('generate_voicing', { chord: 'F', style, octave: 4, inversion: 0, drop_bass: false }).notes;
  assert.deepEqual(await page.$$eval('#keyboard .key.down', (keys) => keys.map((k) => Number(k.dataset.midi))), preview);
  assert.deepEqual(await rollNotes().then((n) => n[1]), fNotes, 'the progression keeps its own voicing');
});

test('note names are spelled as the engine spells them', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await page.selectOption('#spelling', 'flats');
  await settle();
  await enterProgression('Dbmaj7 Gb7 Bbm7 A7b9');
  assert.equal(await page.locator('#slots [role="option"]').first().locator('.slot-notes').innerText(), 'Db4 F4 Ab4 C5');
  await page.click('#slots [role="option"]:nth-child(4)');
  await settle();
  // A7b9: its flat ninth is Bb, in the note line and on the keyboard.
  const line = await page.locator('#voicing-notes').innerText();
  assert.match(line, /Bb\d/);
  assert.doesNotMatch(line, /A#/);
  const labels = await page.$$eval('#keyboard .key.down span', (spans) => spans.map((s) => s.textContent));
  assert.ok(labels.some((l) => /^Bb\d$/.test(l)) && !labels.some((l) => l.startsWith('A#')), labels.join(' '));
});

test('recalculated numerals keep the bass an inversion sounds', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await enterProgression('Cmaj7 F');
  await page.fill('#slot-inversion', '1');
  await page.press('#slot-inversion', 'Enter');
  await settle();
  const roman = () => page.locator('#slots [role="option"]').first().locator('.slot-roman').innerText();
  assert.equal(await roman(), 'Imaj7/E');
  await page.click('#recalculate');
  await settle();
  assert.equal(await roman(), 'Imaj7/E');
});

test('a refused change and an empty progression say so, and nothing else', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await enterProgression('C7');
  await page.click('#modifiers button[data-id="ninth-9"]');
  await settle();
  assert.match(await page.locator('#messages').innerText(), /The chord is now C9/);
  await page.fill('#bass-note', 'Q');
  await page.click('#bass-apply');
  await settle();
  await page.waitForFunction(() => document.getElementById('errors').textContent !== '');
  assert.equal(await page.textContent('#errors'), 'Invalid bass: Q');
  assert.equal(await page.textContent('#messages'), '', 'no success message beside the failure');

  await enterProgression('');
  await page.click('#play');
  await settle();
  assert.match(await page.locator('#messages').innerText(), /nothing to play/);
  assert.equal(await page.getAttribute('#play', 'aria-pressed'), 'false');
});

test('a suggestion taken at the cursor is inserted after it', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('Dm7 G7');
  await page.click('#slots [role="option"]:nth-child(2)');
  await settle();
  const first = page.locator('#suggestions button.suggestion').first();
  const symbol = await first.getAttribute('data-symbol');
  assert.ok(symbol, 'a suggestion is offered');
  await first.click();
  await settle();
  assert.equal(await page.locator('#slots [role="option"]').count(), 3);
  assert.equal(await page.inputValue('#progression-text'), `Dm7 G7 ${symbol}`);
  assert.equal(await page.getAttribute('#slots [role="option"]:nth-child(3)', 'aria-selected'), 'true');
  const third = (await rollNotes())[2];
  assert.ok(third.length > 0, 'the taken chord is voiced');
});

test('a suggestion can replace the chord at the cursor', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('C F G');
  await page.click('#slots [role="option"]:nth-child(2)');
  await page.check('input[name="suggest-mode"][value="replace"]');
  await settle();
  const first = page.locator('#suggestions button.suggestion').first();
  const symbol = await first.getAttribute('data-symbol');
  await first.click();
  await settle();
  assert.equal(await page.inputValue('#progression-text'), `C ${symbol} G`);
});

test('a generated progression fills the editor and is voiced', { timeout: TEST_TIMEOUT_MS }, async () => {
  await page.selectOption('#genre', 'Rock');
  await page.selectOption('#length', '4');
  await page.click('#generate');
  await settle();
  assert.match(await page.locator('#messages').innerText(), /^Generated Rock: /);
  const chords = (await page.inputValue('#progression-text')).split(' ');
  assert.equal(chords.length, 4);
  const notes = await rollNotes();
  assert.equal(notes.length, 4);
  for (const n of notes) assert.ok(n.length > 0);
  const romans = await page.$$eval('#slots .slot-roman', (els) => els.map((e) => e.textContent.trim()));
  for (const r of romans) assert.notEqual(r, '');

  // In any key: the key the progression is in is found and shown.
  await page.check('#auto-key');
  await page.selectOption('#genre', 'Jazz + Neo Soul');
  await page.click('#generate');
  await settle();
  const message = await page.locator('#messages').innerText();
  const found = /^Generated Jazz \+ Neo Soul in (\S+) (major|minor): /.exec(message);
  assert.ok(found, message);
  assert.equal(await page.inputValue('#key-root'), found[1]);
  assert.equal(await page.inputValue('#key-mode'), found[2]);
});

test('a modifier from the chord editor changes the chord', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await enterProgression('C7');
  const active = await page.$$eval('#modifiers button[aria-pressed="true"]', (bs) => bs.map((b) => b.dataset.id));
  assert.deepEqual(active, ['third-major', 'fifth-perfect', 'seventh-flat7']);
  await page.click('#modifiers button[data-id="ninth-9"]');
  await settle();
  const expected = engine('apply_modifiers', { chord: 'C7', modifiers: [...active, 'ninth-9'], style: 'closed' });
  assert.equal(await page.inputValue('#progression-text'), expected.chord);
  assert.deepEqual((await rollNotes())[0], engine('generate_voicing', { chord: expected.chord, style: 'closed' }).notes);
  assert.equal(await page.getAttribute('#modifiers button[data-id="ninth-9"]', 'aria-pressed'), 'true');
});

// Reads a Standard MIDI File into its header and, per track, the note-on events with absolute ticks.
function readMidi(bytes) {
  const text = (at, n) => String.fromCharCode(...bytes.subarray(at, at + n));
  const u32 = (at) => (bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]) >>> 0;
  const u16 = (at) => (bytes[at] << 8) | bytes[at + 1];
  assert.equal(text(0, 4), 'MThd');
  assert.equal(u32(4), 6);
  const header = { format: u16(8), tracks: u16(10), division: u16(12) };
  const tracks = [];
  let at = 14;
  while (at < bytes.length) {
    assert.equal(text(at, 4), 'MTrk');
    const end = at + 8 + u32(at + 4);
    let pos = at + 8;
    let tick = 0;
    let running = 0;
    const events = [];
    const vlq = () => { let v = 0; let b; do { b = bytes[pos++]; v = (v << 7) | (b & 0x7f); } while (b & 0x80); return v; };
    let ended = false;
    while (pos < end) {
      tick += vlq();
      let statusByte = bytes[pos];
      if (statusByte & 0x80) pos += 1; else statusByte = running;
      if (statusByte === 0xff) {
        const kind = bytes[pos++];
        const length = vlq();
        if (kind === 0x2f) ended = true;
        pos += length;
      } else {
        running = statusByte;
        const kind = statusByte & 0xf0;
        const a = bytes[pos++];
        const b = kind === 0xc0 || kind === 0xd0 ? 0 : bytes[pos++];
        events.push({ tick, kind, key: a, velocity: b });
      }
    }
    assert.ok(ended, 'every track ends with its end-of-track event');
    tracks.push(events);
    at = end;
  }
  return { header, tracks };
}

test('the MIDI file download holds the voiced notes', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  await enterProgression('Dm7 G7 Cmaj7');
  await page.selectOption('#rhythm', 'none');
  const voiced = await rollNotes();
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-midi')]);
  assert.equal(download.suggestedFilename(), 'progression.mid');
  const bytes = new Uint8Array(readFileSync(await download.path()));
  const { header, tracks } = readMidi(bytes);
  assert.deepEqual(header, { format: 1, tracks: 2, division: 480 });
  assert.equal(tracks.length, 2);
  const ons = tracks[1].filter((e) => e.kind === 0x90 && e.velocity > 0);
  const offs = tracks[1].filter((e) => e.kind === 0x80 || (e.kind === 0x90 && e.velocity === 0));
  assert.equal(offs.length, ons.length);
  const byBar = [0, 1, 2].map((bar) => ons.filter((e) => e.tick === bar * 1920).map((e) => e.key).sort((x, y) => x - y));
  assert.deepEqual(byBar, voiced);
  assert.equal(ons.length, voiced.flat().length);
});

test('playback starts, marks the sounding chord and stops', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('C G');
  await page.fill('#tempo', '240');
  await page.selectOption('#rhythm', 'quarter');
  await page.click('#play');
  assert.equal(await page.getAttribute('#play', 'aria-pressed'), 'true');
  await page.waitForSelector('#slots .slot.playing', { timeout: 10000 });
  await page.click('#play');
  assert.equal(await page.getAttribute('#play', 'aria-pressed'), 'false');
  assert.equal(await page.locator('#slots .slot.playing').count(), 0);
  await page.click('#play');
  await page.waitForFunction(() => document.getElementById('play').getAttribute('aria-pressed') === 'false', null, { timeout: 15000 });
  assert.equal(await page.textContent('#play'), 'Play', 'a pass without loop ends by itself');
});

test('a chord that does not parse is marked in place, and the others are voiced', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  await enterProgression('Am F C');
  await enterProgression('Dm7 Xq7 G7');
  await page.waitForFunction(() => document.getElementById('errors').textContent.includes('Xq7'));
  assert.match(await page.locator('#errors').innerText(), /Could not read the chord “Xq7”; it is skipped/);
  assert.equal(await page.getAttribute('#progression-text', 'aria-invalid'), 'true');
  assert.equal(await page.inputValue('#progression-text'), 'Dm7 Xq7 G7');
  assert.equal(await page.locator('#slots [role="option"]').count(), 3);
  assert.equal(await page.locator('#slots .slot.unread').count(), 1);
  assert.match(await page.getAttribute('#slot-1', 'aria-label'), /Xq7, not a chord the engine reads, skipped/);
  const notes = await rollNotes();
  assert.ok(notes[0].length > 0 && notes[2].length > 0, 'the chords around it are voiced');
  assert.deepEqual(notes[1], []);
  await enterProgression('Dm7 G7');
  assert.equal(await page.getAttribute('#progression-text', 'aria-invalid'), null);
  assert.equal(await page.locator('#slots [role="option"]').count(), 2);
  assert.equal(await page.locator('#slots .slot.unread').count(), 0);
});

test('a pasted chart with 7+, 07 and m/maj7 chords is read, voiced and keeps its text', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  const chart = 'Dm7 G7+ | Cm/maj7 | F#07 B7 | Em | NC |';
  await enterProgression(chart);
  assert.equal(await page.inputValue('#progression-text'), chart);
  assert.equal(await page.locator('#slots [role="option"]').count(), 7);
  assert.equal(await page.locator('#slots .slot.unread').count(), 0);
  assert.equal(await page.textContent('#errors'), '', 'a no-chord mark is no error');
  const notes = await rollNotes();
  assert.ok(notes.slice(0, 6).every((n) => n.length > 0), 'every chord is voiced');
  assert.deepEqual(notes[6], [], 'the no-chord bar is silent');
  const readAs = await page.$$eval('#slots .slot-read', (spans) => spans.map((s) => s.textContent));
  assert.deepEqual(readAs, ['G7+ read as G7#5', 'Cm/maj7 read as CmM7', 'F#07 read as F#m7b5']);
  await page.click('#slot-1');
  await page.waitForFunction(() => document.getElementById('chord-facts').textContent.includes('read as'));
  assert.match(await page.textContent('#chord-facts'), /^G7\+ read as G7#5: root G, quality 7#5/);
});

test('the MIDI download follows the bar lines', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('Dm9 G13 | Cmaj9 |');
  await page.selectOption('#rhythm', 'none');
  const voiced = await rollNotes();
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-midi')]);
  const { tracks } = readMidi(new Uint8Array(readFileSync(await download.path())));
  const ons = tracks[1].filter((e) => e.kind === 0x90 && e.velocity > 0);
  const offs = tracks[1].filter((e) => e.kind === 0x80 || (e.kind === 0x90 && e.velocity === 0));
  const at = (list, tick) => list.filter((e) => e.tick === tick).map((e) => e.key).sort((x, y) => x - y);
  // Two beats each, then a whole bar.
  assert.deepEqual([at(ons, 0), at(ons, 960), at(ons, 1920)], voiced);
  assert.deepEqual(at(offs, 960), voiced[0]);
  assert.deepEqual(at(offs, 3840), voiced[2]);
  assert.equal(ons.length, voiced.flat().length);
});

test('work in progress shows, and a refused request reads as a sentence', { timeout: TEST_TIMEOUT_MS }, async () => {
  await page.route('**/messages', async (route) => { await new Promise((r) => setTimeout(r, 700)); await route.continue(); });
  await page.fill('#progression-text', 'Dm7 G7');
  await page.press('#progression-text', 'Enter');
  await page.waitForSelector('#busy:not([hidden])', { timeout: 5000 });
  assert.equal(await page.getAttribute('#main', 'aria-busy'), 'true');
  await settle();
  assert.equal(await page.isHidden('#busy'), true);
  await page.unroute('**/messages');

  await page.route('**/messages', (route) => route.fulfill({ status: 413, contentType: 'application/json', body: '{"error":"the message is larger than 1 MiB"}' }));
  await page.click('#voice-button');
  await settle();
  await page.waitForFunction(() => document.getElementById('errors').textContent !== '');
  assert.equal(await page.textContent('#errors'), 'The server refused the request: the message is larger than 1 MiB');
  await page.unroute('**/messages');
});

test('the key is detected and the progression transposed', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('Am Dm E7 Am');
  await page.click('#detect-key');
  await settle();
  assert.equal(await page.inputValue('#key-root'), 'A');
  assert.equal(await page.inputValue('#key-mode'), 'minor');
  await page.click('#transpose-up');
  await settle();
  const expected = engine('transpose_progression', { chords: ['Am', 'Dm', 'E7', 'Am'], key: { root: 'A', mode: 'minor', minorScaleType: 'natural' }, semitones: 1 });
  assert.equal(await page.inputValue('#progression-text'), expected.chords.map((c) => c.symbol).join(' '));
  assert.equal(await page.inputValue('#key-root'), expected.key.root);
});

test('copy and paste go through the engine clipboard', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('Am F C G');
  await page.click('#copy');
  await settle();
  assert.match(await page.locator('#messages').innerText(), /Copied “Am F C G”/);
  await enterProgression('Dm7 G7');
  await page.click('#paste');
  await settle();
  assert.equal(await page.inputValue('#progression-text'), 'Am F C G');
  assert.equal(await page.locator('#slots [role="option"]').count(), 4);
});

test('a diatonic chord of the key is inserted after the selected chord', { timeout: TEST_TIMEOUT_MS }, async () => {
  await enterProgression('Dm7 Cmaj7');
  await page.click('#palette-box summary');
  await page.waitForSelector('#palette button', { timeout: 90000 });
  await settle();
  const symbols = await page.$$eval('#palette button', (bs) => bs.map((b) => b.dataset.symbol));
  const expected = engine('get_diatonic_chords', { root: 'C', mode: 'major', minorScaleType: 'natural', diatonicExtension: 7 });
  assert.deepEqual(symbols, expected.chords.map((c) => c.symbol));
  await page.click('#palette button[data-symbol="G7"]');
  await settle();
  assert.equal(await page.inputValue('#progression-text'), 'Dm7 G7 Cmaj7');
});

test('long replies arrive whole: the quality list', { timeout: TEST_TIMEOUT_MS }, async () => {
  await page.click('#qualities-box summary');
  await page.waitForFunction(() => /of 381 qualities shown/.test(document.getElementById('qualities').textContent),
    null, { timeout: 90000 });
  await settle();
  assert.match(await page.locator('#qualities').innerText(), /of 381 qualities shown/);
});

test('the page can be used with the keyboard alone', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(false);
  await page.locator('body').focus();
  await page.keyboard.press('/');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'progression-text');
  await page.keyboard.press('Control+A');
  await page.keyboard.type('Am F C G');
  await page.keyboard.press('Enter');
  await settle();
  assert.equal(await page.locator('#slots [role="option"]').count(), 4);
  await page.keyboard.press('Escape');
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute('role')), 'option');
  await page.keyboard.press('ArrowRight');
  await settle();
  assert.equal(await page.getAttribute('#slots [role="option"]:nth-child(2)', 'aria-selected'), 'true');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'slot-1');
  const fNotes = engine('generate_voicing', { chord: 'F', style: 'closed' }).notes;
  assert.deepEqual(await page.$$eval('#keyboard .key.down', (keys) => keys.map((k) => Number(k.dataset.midi))), fNotes);
  await page.keyboard.press('a');
  await settle();
  assert.equal(await page.getAttribute('#slot-anchor', 'aria-pressed'), 'true');
  await page.keyboard.press('n');
  assert.equal(await page.evaluate(() => document.activeElement.classList.contains('suggestion')), true);
  const symbol = await page.evaluate(() => document.activeElement.dataset.symbol);
  await page.keyboard.press('Enter');
  await settle();
  assert.equal(await page.inputValue('#progression-text'), `Am F ${symbol} C G`);
  const [download] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('d')]);
  assert.equal(download.suggestedFilename(), 'progression.mid');

  await page.focus('#loop');
  await page.keyboard.press('Enter');
  assert.equal(await page.isChecked('#loop'), true, 'Enter ticks a check box');
  await page.keyboard.press('Space');
  assert.equal(await page.isChecked('#loop'), false, 'Space clears it again');

  // Tab reaches every main control, each showing where the focus is, and comes back round.
  await page.locator('body').focus();
  const visited = [];
  for (let i = 0; i < 400; i += 1) {
    await page.keyboard.press('Tab');
    const stop = await page.evaluate(() => {
      const el = document.activeElement;
      if (!el || el === document.body) return null;
      const style = getComputedStyle(el);
      return { id: el.id || el.dataset.id || el.dataset.symbol || el.textContent.trim().slice(0, 20), outline: style.outlineStyle !== 'none' && style.outlineWidth !== '0px' };
    });
    if (stop === null) continue; // past the last control the focus leaves the page once
    if (visited.length && stop.id === visited[0].id) break;
    visited.push(stop);
  }
  const ids = visited.map((v) => v.id);
  for (const id of ['progression-text', 'read-button', 'key-root', 'detect-key', 'voicing-style', 'auto-voice-lead', 'play', 'download-midi', 'suggest-refresh', 'genre', 'generate']) {
    assert.ok(ids.includes(id), `${id} can be reached with Tab`);
  }
  const unseen = visited.filter((v) => !v.outline).map((v) => v.id);
  assert.deepEqual(unseen, [], 'every focused control shows a focus ring');
});

// Stands in for the host's web view: window.max carries the page's messages to the server as
// host messages and hands the outlet messages back to the inlets the page bound.
function fakeWebView() {
  const inlets = {};
  window.__maxOutlets = [];
  window.max = {
    bindInlet(name, fn) { inlets[name] = fn; },
    outlet(...atoms) {
      window.__maxOutlets.push(atoms);
      fetch('/messages', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(atoms) })
        .then((r) => r.json())
        .then((messages) => {
          for (const m of messages) {
            const [selector, ...rest] = m.atoms;
            if (m.outlet === 0 && inlets[selector]) inlets[selector](...rest);
          }
        });
    },
  };
}

test('in the host web view the page talks through window.max', { timeout: TEST_TIMEOUT_MS }, async () => {
  const hosted = await browser.context.newPage();
  const problems = [];
  hosted.on('pageerror', (problem) => problems.push(problem.message));
  try {
    await hosted.addInitScript(fakeWebView);
    await hosted.goto(baseUrl);
    await hosted.waitForSelector('body[data-ready="true"]', { timeout: 90000 });
    const sent = await hosted.evaluate(() => window.__maxOutlets.map((a) => [a[0], a[1]]));
    assert.deepEqual(sent[0], ['fromJweb', 'ready']);
    assert.ok(sent.every(([selector]) => selector === 'fromJweb'));
    assert.ok(sent.some(([, type]) => type === 'generate_progression'));
    await hosted.waitForFunction(() => document.querySelectorAll('#piano-roll rect.note').length > 0);
    // A reply long enough to come in pieces.
    await hosted.click('#qualities-box summary');
    await hosted.waitForFunction(() => /of 381 qualities shown/.test(document.getElementById('qualities').textContent));
    assert.deepEqual(problems, []);
  } finally {
    await hosted.close();
  }
});

test('screenshot of the page', { timeout: TEST_TIMEOUT_MS }, async () => {
  await setVoiceLeading(true);
  await enterProgression('Dm9 G13 Cmaj9 A7b9 | Dm9 G7 Cmaj7');
  await page.click('#slots [role="option"]:nth-child(3)');
  await settle();
  mkdirSync(path.dirname(screenshotPath), { recursive: true });
  await page.screenshot({ path: screenshotPath, fullPage: false });
  assert.ok(readFileSync(screenshotPath).length > 1000);
});

