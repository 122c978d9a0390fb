// Drives the device's page in Debian's chromium through the running host (HOST_URL) the way
// a person would, and prints one "PASS name" or "FAIL name: why" line per check.
import { mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const url = process.env.HOST_URL;
const artifacts = process.env.ARTIFACTS_DIR;
if (!url || !artifacts) {
  console.error('usage: HOST_URL=http://127.0.0.1:PORT/ ARTIFACTS_DIR=DIR node browser.mjs');
  process.exit(2);
}
const STEP_MS = 15000;

// Nothing below may hang the test run.
setTimeout(() => {
  console.log('FAIL browser: the whole run took longer than 150 s');
  process.exit(1);
}, 150000).unref();

let failed = 0;
async function check(name, body) {
  try {
    await body();
    console.log('PASS ' + name);
  } catch (error) {
    failed++;
    console.log('FAIL ' + name + ': ' + String(error.message || error).split('\n')[0]);
  }
}

function expectEqual(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e)
    throw new Error(`${what}: got ${a.slice(0, 300)}, expected ${e.slice(0, 300)}`);
}

const scratch = mkdtempSync(join(tmpdir(), 'host-browser-'));
const browser = await chromium.launchPersistentContext(join(scratch, 'profile'), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  timeout: 60000,
  viewport: { width: 1280, height: 1000 },
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
browser.setDefaultTimeout(STEP_MS);
const page = browser.pages()[0] || await browser.newPage();
const scriptErrors = [];
page.on('pageerror', (error) => scriptErrors.push(error.message));

// Waits for a result line of a card: class ok or err, and its text.
async function message(id) {
  await page.waitForFunction((id) => /\b(ok|err)\b/.test(document.getElementById(id).className), id);
  return page.$eval('#' + id, (element) => ({ kind: element.className.replace('msg ', ''), text: element.textContent }));
}

async function expectMessage(id, kind, pattern) {
  const got = await message(id);
  if (got.kind !== kind || !pattern.test(got.text))
    throw new Error(`#${id} shows ${got.kind} "${got.text}"`);
}

async function reload() {
  await page.reload();
  await page.waitForFunction(() => document.getElementById('tunnex-state').textContent !== '–');
}

async function value(selector) {
  return page.$eval(selector, (element) => element.value);
}

try {
  await check('page loads and reads every program', async () => {
    await page.goto(url);
    await page.waitForFunction(() =>
      document.getElementById('link-text').textContent === 'Connected' &&
      ['tunnex-state', 'portvia-state', 'ddns-state'].every((id) => document.getElementById(id).textContent !== '–') &&
      document.getElementById('login-user').textContent.startsWith('User:') &&
      document.getElementById('ins-imu').textContent.startsWith('IMU state') &&
      document.getElementById('antenna-count').textContent !== '–');
    const errors = await page.$$eval('.msg.err', (items) => items.map((item) => item.textContent));
    expectEqual(errors, [], 'error messages');
  });

  await check('tunnel service A setting survives a reload', async () => {
    await page.fill('#tunnex-form [name=RN]', 'rover-17.example.net');
    await page.fill('#tunnex-form [name=authtoken]', 'tok-9f3a-77c1');
    await page.selectOption('#tunnex-form [name=region]', '4');
    await page.click('#tunnex-form button[type=submit]');
    await expectMessage('tunnex-msg', 'ok', /Saved/);
    await reload();
    expectEqual([await value('#tunnex-form [name=RN]'), await value('#tunnex-form [name=authtoken]'),
      await value('#tunnex-form [name=region]'), await page.textContent('#tunnex-state')],
    ['rover-17.example.net', 'tok-9f3a-77c1', '4', 'Enabled'], 'after reload');
  });

  await check('tunnel service B and dynamic DNS enable and disable', async () => {
    await page.fill('#portvia-form [name=RN]', 'field-unit');
    await page.fill('#portvia-form [name=authtoken]', 'pv-token');
    await page.click('#portvia-form button[type=submit]');
    await expectMessage('portvia-msg', 'ok', /Saved/);
    await page.waitForFunction(() => document.getElementById('portvia-state').textContent === 'Enabled');
    await page.fill('#ddns-form [name=SP]', 'dns.example.org');
    await page.fill('#ddns-form [name=username]', 'surveyor');
    await page.fill('#ddns-form [name=password]', 's3cret');
    await page.fill('#ddns-form [name=RN]', 'base.example.org');
    await page.click('#ddns-form button[type=submit]');
    await expectMessage('ddns-msg', 'ok', /Saved/);
    await page.click('#ddns-form [data-disable]');
    await expectMessage('ddns-msg', 'ok', /disabled/);
    await reload();
    expectEqual([await page.textContent('#portvia-state'), await value('#portvia-form [name=RN]'),
      await page.textContent('#ddns-state'), await value('#ddns-form [name=SP]'), await value('#ddns-form [name=password]')],
    ['Enabled', 'field-unit', 'Disabled', 'dns.example.org', 's3cret'], 'after reload');
  });

  await check('inertial navigation change is applied and read back', async () => {
    await page.check('#ins-form [name=enable]');
    await page.selectOption('#ins-form [name=mode]', '6');
    await page.fill('#ins-form [name=initSV]', '2.5');
    await page.click('#ins-form button[type=submit]');
    await expectMessage('ins-msg', 'ok', /Applied/);
    await reload();
    await page.waitForFunction(() => document.querySelector('#ins-form [name=mode]').value === '6');
    expectEqual([await page.isChecked('#ins-form [name=enable]'), await value('#ins-form [name=initSV]')],
      [true, '2'], 'after reload');
  });

  await check('station ID changes', async () => {
    await page.fill('#station-form [name=id]', 'BASE-0815');
    await page.click('#station-form button[type=submit]');
    await expectMessage('station-msg', 'ok', /saved/);
    await reload();
    await page.waitForFunction(() => document.querySelector('#station-form [name=id]').value === 'BASE-0815');
  });

  await check('progress bar and signal quality move', async () => {
    const before = await page.$eval('#progress-fill', (element) => element.style.width);
    await page.waitForFunction((before) => document.getElementById('progress-fill').style.width !== before, before);
    const text = await page.textContent('#progress-text');
    if (!/^\d+\.\d\d %$/.test(text))
      throw new Error(`progress text "${text}"`);
    await page.waitForFunction(() => /^\d+$/.test(document.getElementById('sqi1-text').textContent) &&
      /^\d+$/.test(document.getElementById('sqi2-text').textContent));
  });

  await check('antenna list upload comes back name for name', async () => {
    // Over 1024 bytes, so the upload crosses the reader's chunks; one name of exactly 20 bytes.
    const names = ['HELIX 2-BAND', 'CHOKE-RING B3 DOME', 'ZX-ROVER-A1', 'TWENTY-BYTES-NAME-20'];
    for (let i = 1; i <= 140; i++)
      names.push('PATCH-L1L2-' + String(i).padStart(3, '0'));
    const file = join(scratch, 'antennas.txt');
    writeFileSync(file, names.join('\n') + '\n');
    await page.setInputFiles('#antenna-file', file);
    await page.click('#antenna-form button[type=submit]');
    await expectMessage('antenna-msg', 'ok', /Uploaded antennas\.txt/);
    const shown = await page.$$eval('#antenna-list li', (items) => items.map((item) => item.textContent));
    expectEqual(shown, names, 'listed names');
    expectEqual(await page.textContent('#antenna-count'), names.length + ' models', 'count');
  });

  await check('login change is refused with a wrong current password', async () => {
    const user = await page.textContent('#login-user');
    await page.fill('#login-form [name=name]', 'intruder');
    await page.fill('#login-form [name=newPass]', 'taken');
    await page.fill('#login-form [name=repeat]', 'taken');
    await page.fill('#login-form [name=oldPass]', 'not-the-password');
    await page.click('#login-form button[type=submit]');
    await expectMessage('login-msg', 'err', /Refused: the current password is wrong/);
    expectEqual(await page.textContent('#login-user'), user, 'user name');
  });

  await check('login change with the current password', async () => {
    // Fresh records hold an empty password.
    await page.fill('#login-form [name=name]', 'surveyor');
    await page.fill('#login-form [name=newPass]', 'n3w-pass');
    await page.fill('#login-form [name=repeat]', 'n3w-pass');
    await page.fill('#login-form [name=oldPass]', '');
    await page.click('#login-form button[type=submit]');
    await expectMessage('login-msg', 'ok', /Login changed/);
    await page.waitForFunction(() => document.getElementById('login-user').textContent === 'User: surveyor');
  });

  await check('no script errors', async () => {
    expectEqual(scriptErrors, [], 'page errors');
  });

  await check('screenshot saved', async () => {
    mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: join(artifacts, 'host-page.png'), fullPage: true });
  });
} finally {
  await browser.close().catch(() => {});
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
