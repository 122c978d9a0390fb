// Drives the device's page in Debian's chromium through the running host (HOST_URL, plain
// HTTP, no login) the way a person would, then lets a page of another site attack it, and
// prints one "PASS name" or "FAIL name: why" line per check.
import { mkdirSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { join } from 'node:path';
import {
  check, expectEqual, finish, launch, limitRun, newContext, scratch, STEP_MS, watchProblems,
} from './browser_lib.mjs';

const url = process.env.HOST_URL;
const artifacts = process.env.ARTIFACTS_DIR;
if (!url || !artifacts) {
  console.error('usage: HOST_URL=http://127.0.0.1:PORT/ ARTIFACTS_DIR=DIR node browser.mjs');
  process.exit(2);
}
limitRun(170);

const browser = await launch();
const context = await newContext(browser);
const page = await context.newPage();
const problems = watchProblems(page);

// Waits for a result line of a card: class ok or err, its text and whether it offers a retry.
async function message(id) {
  await page.waitForFunction((id) => /\b(ok|err)\b/.test(document.getElementById(id).className), id);
  return page.$eval('#' + id, (element) => ({
    kind: element.className.replace('msg ', ''),
    text: element.textContent,
    retry: element.querySelector('button.retry') !== null,
  }));
}

async function expectMessage(id, kind, pattern) {
  const got = await message(id);
  if (got.kind !== kind || !pattern.test(got.text))
    throw new Error(`#${id} shows ${got.kind} "${got.text}"`);
  return got;
}

async function reload() {
  await page.reload();
  await page.waitForFunction(() => document.getElementById('tunnex-state').textContent !== '–');
}

async function value(selector) {
  return page.$eval(selector, (element) => element.value);
}

// Changes the page sends to a program: POSTs other than the empty query the page reads with.
function watchChanges(program) {
  const sent = [];
  const listener = (request) => {
    if (request.url().endsWith('/cgi-bin/' + program) && request.method() === 'POST' &&
        request.postData() !== '{}')
      sent.push(request.postData());
  };
  page.on('request', listener);
  return { sent, stop: () => page.off('request', listener) };
}

// What went over the network from a tab: for a URL, how chromium marked the request and the
// status that came back, also for answers it then withholds from the page (an "image" that is
// none). Returns a lookup by URL.
async function networkLog(tab) {
  const cdp = await context.newCDPSession(tab);
  await cdp.send('Network.enable');
  const requests = {};
  const request = (id) => (requests[id] ??= {});
  cdp.on('Network.requestWillBeSent', (event) => { request(event.requestId).url = event.request.url; });
  cdp.on('Network.requestWillBeSentExtraInfo', (event) => {
    const name = Object.keys(event.headers).find((key) => key.toLowerCase() === 'sec-fetch-site');
    request(event.requestId).site = event.headers[name];
  });
  cdp.on('Network.responseReceivedExtraInfo', (event) => { request(event.requestId).status = event.statusCode; });
  return (url) => Object.values(requests).find((item) => item.url === url && item.status !== undefined);
}

// A plain client's view of the records and the list (no browser, so no site marking).
function plainQuery(program) {
  return new Promise((resolve, reject) => {
    const request = http.request(url + 'cgi-bin/' + program, { method: 'POST' }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve(response.statusCode + ' ' + body));
    });
    request.on('error', reject);
    request.end('{}');
  });
}

async function snapshot() {
  return Promise.all(['tunnex', 'ddns', 'portvia', 'stationmark', 'aerlist'].map(plainQuery));
}

const antennaNames = ['HELIX 2-BAND', 'CHOKE-RING B3 DOME', 'ZX-ROVER-A1', 'TWENTY-BYTES-NAME-20'];
for (let i = 1; i <= 140; i++)
  antennaNames.push('PATCH-L1L2-' + String(i).padStart(3, '0'));
const antennaFile = join(scratch, 'antennas.txt');
writeFileSync(antennaFile, antennaNames.join('\n') + '\n');

try {
  await check('page loads and reads every program; no list yet shows as a failure to retry', async () => {
    await page.goto(url);
    await page.waitForFunction(() =>
      document.getElementById('link-text').textContent === 'Connected' &&
      ['tunnex-state', 'portvia-state', 'ddns-state'].every((id) => document.getElementById(id).textContent !== '–') &&
      document.getElementById('login-user').textContent.startsWith('User:') &&
      document.getElementById('ins-imu').textContent.startsWith('IMU state') &&
      document.getElementById('antenna-count').textContent !== '–');
    const errors = await page.$$eval('.msg.err', (items) => items.map((item) => item.id));
    expectEqual(errors, ['antenna-msg'], 'cards with errors');
    const shown = await expectMessage('antenna-msg', 'err', /Could not read the antenna list/);
    expectEqual(shown.retry, true, 'offers a retry');
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
    await page.setInputFiles('#antenna-file', antennaFile);
    await page.click('#antenna-form button[type=submit]');
    await expectMessage('antenna-msg', 'ok', /Uploaded antennas\.txt/);
    const shown = await page.$$eval('#antenna-list li', (items) => items.map((item) => item.textContent));
    expectEqual(shown, antennaNames, 'listed names');
    expectEqual(await page.textContent('#antenna-count'), antennaNames.length + ' models', 'count');
  });

  await check('login change is refused with a wrong current password', async () => {
    const user = await page.textContent('#login-user');
    await page.fill('#login-form [name=name]', 'intruder');
    await page.fill('#login-form [name=newPass]', 'taken');
    await page.fill('#login-form [name=repeat]', 'taken');
    await page.fill('#login-form [name=oldPass]', 'not-the-password');
    await page.click('#login-form button[type=submit]');
    await expectMessage('login-msg', 'err', /the current password is wrong/);
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

  // Each text one past its field (in bytes of UTF-8, which a character count would pass) is
  // refused on the page, named with its limit, kept whole in its input, and never sent.
  const overLimit = [
    { form: 'tunnex', program: 'tunnex', field: 'authtoken', text: 'é'.repeat(51), label: 'Authentication token', limit: 100 },
    { form: 'tunnex', program: 'tunnex', field: 'RN', text: 'r'.repeat(33), label: 'Domain', limit: 32 },
    { form: 'portvia', program: 'portvia', field: 'authtoken', text: 'ß'.repeat(16) + 'x', label: 'Authentication token', limit: 32 },
    { form: 'ddns', program: 'ddns', field: 'password', text: 'ü'.repeat(9), label: 'Password', limit: 16 },
    { form: 'ddns', program: 'ddns', field: 'SP', text: 's'.repeat(33), label: 'Server', limit: 32 },
    { form: 'ddns', program: 'ddns', field: 'username', text: 'ü'.repeat(17), label: 'User name', limit: 32 },
    { form: 'station', program: 'stationmark', field: 'id', text: '€'.repeat(6), label: 'Station ID', limit: 16 },
    { form: 'login', program: 'credset', field: 'name', text: 'n'.repeat(17), label: 'New user name', limit: 16 },
    { form: 'login', program: 'credset', field: 'newPass', text: '🔑'.repeat(5), label: 'New password', limit: 16 },
    { form: 'login', program: 'credset', field: 'oldPass', text: 'o'.repeat(17), label: 'Current password', limit: 16 },
  ];
  for (const row of overLimit) {
    await check(`${row.form} ${row.field} over ${row.limit} bytes is refused and not sent`, async () => {
      await reload();
      const watch = watchChanges(row.program);
      await page.fill(`#${row.form}-form [name=${row.field}]`, row.text);
      await page.click(`#${row.form}-form button[type=submit]`);
      const bytes = Buffer.byteLength(row.text);
      await expectMessage(row.form + '-msg', 'err',
        new RegExp(`^${row.label} is too long: ${bytes} bytes, at most ${row.limit} fit .*Nothing was sent`));
      expectEqual(await value(`#${row.form}-form [name=${row.field}]`), row.text, 'the input keeps');
      await page.waitForTimeout(200);
      watch.stop();
      expectEqual(watch.sent, [], 'requests sent');
    });
  }

  await check('texts that fill their fields exactly are stored whole', async () => {
    await reload();
    await page.fill('#tunnex-form [name=authtoken]', 'é'.repeat(50));
    await page.click('#tunnex-form button[type=submit]');
    await expectMessage('tunnex-msg', 'ok', /Saved/);
    await page.fill('#ddns-form [name=password]', 'ü'.repeat(8));
    await page.click('#ddns-form button[type=submit]');
    await expectMessage('ddns-msg', 'ok', /Saved/);
    await reload();
    expectEqual([await value('#tunnex-form [name=authtoken]'), await value('#ddns-form [name=password]')],
      ['é'.repeat(50), 'ü'.repeat(8)], 'after reload');
  });

  await check('antenna lists with a name or a count over the table are refused and not sent', async () => {
    for (const [lines, pattern] of [
      [['SHORT', 'TWENTY-ONE-BYTES-NAME'], /line 2 is 21 bytes long, an antenna name holds at most 20/],
      [['Ä'.repeat(10), 'Ä'.repeat(10) + 'X'], /line 2 is 21 bytes long/],
      [Array.from({ length: 801 }, (_, i) => 'A' + i), /more than 800 names/],
    ]) {
      const file = join(scratch, 'too-much.txt');
      writeFileSync(file, lines.join('\r\n') + '\r\n');
      const watch = watchChanges('aerkind');
      await page.setInputFiles('#antenna-file', file);
      await page.click('#antenna-form button[type=submit]');
      await expectMessage('antenna-msg', 'err', pattern);
      await page.waitForTimeout(200);
      watch.stop();
      expectEqual(watch.sent, [], 'requests sent');
    }
  });

  // Every program's failure answer: shown as a failure with a retry, the entries kept, and the
  // retry (answered by the real program this time) goes through.
  const failures = [
    { card: 'tunnex', program: 'tunnex', answer: '{ "State": 1, "Res": "failed" }', ok: /Saved/,
      input: ['RN', 'retry-a.example'], act: '#tunnex-form button[type=submit]' },
    { card: 'portvia', program: 'portvia', answer: '{ "Res": "failed" }', ok: /Saved/,
      input: ['RN', 'retry-b'], act: '#portvia-form button[type=submit]' },
    { card: 'ddns', program: 'ddns', answer: '{ "State": 0, "Res": "failed" }', ok: /disabled/,
      input: ['SP', 'retry.example.org'], act: '#ddns-form [data-disable]' },
    { card: 'ins', program: 'ins', answer: '{ "Res": "failed" }', ok: /Applied/,
      input: ['initSV', '7'], act: '#ins-form button[type=submit]' },
    { card: 'station', program: 'stationmark', answer: '{ "Res": "failed" }', ok: /saved/,
      input: ['id', 'RETRY-1'], act: '#station-form button[type=submit]' },
    { card: 'login', program: 'credset', answer: '{ "Res": -1 }', ok: /Login changed/,
      input: ['oldPass', 'n3w-pass'], act: '#login-form button[type=submit]' },
    { card: 'antenna', program: 'aerkind', answer: '{ "Res": "failed" }', ok: /Uploaded/,
      act: '#antenna-form button[type=submit]' },
  ];
  for (const row of failures) {
    await check(`${row.program} answering failed is shown, keeps the entries and can be retried`, async () => {
      await reload();
      if (row.card === 'login') {
        for (const [name, text] of [['name', 'surveyor'], ['newPass', 'n3w-pass'], ['repeat', 'n3w-pass']])
          await page.fill(`#login-form [name=${name}]`, text);
      }
      if (row.input)
        await page.fill(`#${row.card}-form [name=${row.input[0]}]`, row.input[1]);
      else
        await page.setInputFiles('#antenna-file', antennaFile);
      let failedOnce = false;
      await page.route('**/cgi-bin/' + row.program, (route) => {
        if (failedOnce || route.request().postData() === '{}')
          return route.continue();
        failedOnce = true;
        return route.fulfill({ status: 200, contentType: 'application/text;charset=utf-8', body: row.answer });
      });
      try {
        await page.click(row.act);
        const shown = await expectMessage(row.card + '-msg', 'err', /^(Not|Upload failed)/);
        expectEqual(shown.retry, true, 'offers a retry');
        if (row.input)
          expectEqual(await value(`#${row.card}-form [name=${row.input[0]}]`), row.input[1], 'the entry');
        await page.click(`#${row.card}-msg button.retry`);
        await page.waitForSelector(`#${row.card}-msg button.retry`, { state: 'detached' });
        await expectMessage(row.card + '-msg', 'ok', row.ok);
      } finally {
        await page.unroute('**/cgi-bin/' + row.program);
      }
    });
  }

  await check('status values that cannot be read show as unavailable, then come back', async () => {
    const unavailable = { fillmeter: '{ "res": "unavailable" }', aersignal: '{ "Res": "unavailable" }' };
    for (const [program, body] of Object.entries(unavailable))
      await page.route('**/cgi-bin/' + program, (route) =>
        route.fulfill({ status: 200, contentType: 'application/text;charset=utf-8', body }));
    const shown = () => page.$$eval(['progress', 'sqi1', 'sqi2'].map((name) => '#' + name + '-text').join(','),
      (items) => items.map((item) => item.textContent));
    await page.waitForFunction(() => ['progress', 'sqi1', 'sqi2'].every((name) =>
      document.getElementById(name + '-text').textContent === 'unavailable' &&
      document.getElementById(name + '-fill').style.width === '0%'));
    expectEqual(await shown(), ['unavailable', 'unavailable', 'unavailable'], 'texts');
    for (const program of Object.keys(unavailable))
      await page.unroute('**/cgi-bin/' + program);
    await page.waitForFunction(() => /^\d+\.\d\d %$/.test(document.getElementById('progress-text').textContent) &&
      /^\d+$/.test(document.getElementById('sqi1-text').textContent));
  });

  // Another site's page, open in the same browser while the device's page is: it sends the
  // three requests that changed settings before, and tries to frame the page. Served from
  // another address (cross-site) and from another port of the device's own (same-site).
  const device = new URL(url);
  const attackerPage = `<!DOCTYPE html><title>attacker</title>
<iframe name="sink"></iframe>
<iframe id="frame" src="${device.href}"></iframe>
<form id="form" method="POST" enctype="text/plain" action="${device.href}cgi-bin/tunnex" target="sink">
<input type="hidden" name='{"RN":"attacker.example","authtoken":"ATTACKER","region":3,"x":"' value='y"}'>
</form>
<script>
document.getElementById('form').submit();
fetch('${device.href}cgi-bin/ddns', { method: 'POST', mode: 'no-cors',
  body: '{"RN":"x","SP":"attacker.example","username":"a","password":"b"}' }).catch(() => {});
new Image().src = '${device.href}cgi-bin/aerkind?WIPED';
</script>`;
  const attacker = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html; charset=utf-8');
    response.end(attackerPage);
  });
  const listen = (host) => new Promise((resolve) => {
    const server = http.createServer(attacker.listeners('request')[0]);
    server.listen(0, host, () => resolve(server));
  });
  const sites = [['cross-site', await listen('127.0.0.2')], ['same-site', await listen(device.hostname)]];
  const before = await snapshot();

  for (const [site, server] of sites) {
    await check(`a ${site} page's form POST, no-cors fetch and image GET are refused`, async () => {
      const tab = await context.newPage();
      const seen = await networkLog(tab);
      await tab.goto(`http://${server.address().address}:${server.address().port}/`);
      const targets = ['tunnex', 'ddns', 'aerkind?WIPED'];
      const answered = () => targets.map((target) => seen(device.href + 'cgi-bin/' + target));
      for (let waited = 0; answered().includes(undefined) && waited < STEP_MS; waited += 100)
        await tab.waitForTimeout(100);
      expectEqual(answered().map((item) => item && [item.site, item.status]),
        targets.map(() => [site, 403]), `${targets.join(', ')}: marking and status`);
      await tab.close();
    });
  }

  await check('another site cannot frame the page', async () => {
    const tab = await context.newPage();
    await tab.goto(`http://${sites[0][1].address().address}:${sites[0][1].address().port}/`);
    const frame = await (await tab.$('#frame')).contentFrame();
    await frame.waitForLoadState('load');
    const framed = await frame.$('#tunnex-form').catch(() => null);
    await tab.close();
    expectEqual(framed === null, true, 'the page is absent from the frame');
  });

  await check('the attacks changed no setting and no list', async () => {
    expectEqual(await snapshot(), before, 'records and list, read by a plain client');
  });
  for (const [, server] of sites)
    server.close();

  await check("the page's own change still works after the attacks", async () => {
    await reload();
    await page.fill('#station-form [name=id]', 'AFTER-ATTACK');
    await page.click('#station-form button[type=submit]');
    await expectMessage('station-msg', 'ok', /saved/);
    if (!(await plainQuery('stationmark')).includes('"AFTER-ATTACK"'))
      throw new Error('not stored');
  });

  await check('no script errors and no policy violations', async () => {
    expectEqual(problems, [], 'page errors');
  });

  await check('screenshot saved', async () => {
    // With a refused text and a failed change on show.
    await reload();
    await page.fill('#ddns-form [name=password]', 'ü'.repeat(9));
    await page.click('#ddns-form button[type=submit]');
    await message('ddns-msg');
    await page.route('**/cgi-bin/stationmark', (route) => route.request().postData() === '{}'
      ? route.continue() : route.fulfill({ contentType: 'application/text', body: '{ "Res": "failed" }' }));
    await page.click('#station-form button[type=submit]');
    await message('station-msg');
    await page.unroute('**/cgi-bin/stationmark');
    mkdirSync(artifacts, { recursive: true });
    await page.screenshot({ path: join(artifacts, 'host-page.png'), fullPage: true });
  });
} finally {
  await finish(browser);
}
