// What the browser tests share: Debian's chromium through playwright-core, and one
// "PASS name" or "FAIL name: why" line per check.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const STEP_MS = 15000;

let failed = 0;

export async function check(name, body) {
  try {
    await body();
    console.log('PASS ' + name);
  } catch (error) {
    failed++;
    console.log('FAIL ' + name + ': ' + String(error.message || error).split('\n')[0]);
  }
}

export function expectEqual(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e)
    throw new Error(`${what}: got ${a.slice(0, 300)}, expected ${e.slice(0, 300)}`);
}

// Nothing may hang the test run.
export function limitRun(seconds) {
  setTimeout(() => {
    console.log(`FAIL browser: the whole run took longer than ${seconds} s`);
    process.exit(1);
  }, seconds * 1000).unref();
}

export const scratch = mkdtempSync(join(tmpdir(), 'host-browser-'));

export async function launch() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    timeout: 60000,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// A fresh profile, as a person's browser would be on first use.
export async function newContext(browser, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1000 }, ...options });
  context.setDefaultTimeout(STEP_MS);
  return context;
}

// The page's script errors and the Content-Security-Policy violations chromium reports for it.
export function watchProblems(page) {
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error' && /Content.Security.Policy/i.test(message.text()))
      problems.push(message.text());
  });
  return problems;
}

export async function finish(browser) {
  await browser.close().catch(() => {});
  rmSync(scratch, { recursive: true, force: true });
  process.exit(failed ? 1 : 0);
}
