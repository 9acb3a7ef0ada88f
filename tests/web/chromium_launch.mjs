// How the browser tests start Debian's Chromium; run directly, it only checks that Chromium
// starts (exit 77, the skip status, when it cannot).
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const CHROMIUM_PATH = process.env.TONALWEAVER_CHROMIUM || '/usr/bin/chromium';

export const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

export const SKIP_STATUS = 77;

// A browser context in a fresh profile folder; close() removes the folder again.
export async function launchBrowser({ viewport = { width: 1366, height: 900 } } = {}) {
  if (!existsSync(CHROMIUM_PATH)) throw new Error(`no Chromium at ${CHROMIUM_PATH}`);
  const profile = mkdtempSync(path.join(tmpdir(), 'tonalweaver-chromium-'));
  try {
    const context = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM_PATH, args: CHROMIUM_ARGS, headless: true, viewport, acceptDownloads: true, timeout: 60000,
    });
    const close = async () => { await context.close().catch(() => {}); rmSync(profile, { recursive: true, force: true }); };
    return { context, close };
  } catch (problem) {
    rmSync(profile, { recursive: true, force: true });
    throw problem;
  }
}

if (process.argv[1] && fileURLToPath(import.meta.url) === path.resolve(process.argv[1])) {
  try {
    const { close } = await launchBrowser();
    await close();
  } catch (problem) {
    console.log(`SKIP: Chromium cannot start here (${String(problem.message).split('\n')[0]}); the browser tests are skipped`);
    process.exit(SKIP_STATUS);
  }
}
