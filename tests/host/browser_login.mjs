// The page in Debian's chromium through a host with the web login and TLS on (HOST_URL is
// https; fresh records, so the stand-in stored the login admin/admin). The certificate is
// self-signed: the HTTP checks compare it with the one named, so the browser need not trust it.
// Prints one "PASS name" or "FAIL name: why" line per check.
import { check, expectEqual, finish, launch, limitRun, newContext, watchProblems } from './browser_lib.mjs';

const url = process.env.HOST_URL;
if (!url || !url.startsWith('https:')) {
  console.error('usage: HOST_URL=https://127.0.0.1:PORT/ node browser_login.mjs');
  process.exit(2);
}
limitRun(120);

const browser = await launch();

async function open(credentials) {
  const context = await newContext(browser, { ignoreHTTPSErrors: true, httpCredentials: credentials });
  const page = await context.newPage();
  return { context, page, problems: watchProblems(page), response: await page.goto(url) };
}

// How the page's load ends without a valid login: chromium, which cannot ask anyone here,
// gives up on the server's challenge (or a 401 is shown); the page itself never arrives.
async function refused(credentials) {
  const context = await newContext(browser, { ignoreHTTPSErrors: true, httpCredentials: credentials });
  const page = await context.newPage();
  let outcome, shown = null;
  try {
    outcome = 'HTTP ' + (await page.goto(url)).status();
    shown = await page.$('#tunnex-form');
  } catch (error) {
    outcome = /ERR_INVALID_AUTH_CREDENTIALS/.test(error.message) ? 'login refused' : error.message;
  }
  await context.close();
  return [outcome === 'HTTP 401' ? 'login refused' : outcome, shown === null];
}

async function connected(page) {
  await page.waitForFunction(() => document.getElementById('link-text').textContent === 'Connected' &&
    document.getElementById('login-user').textContent.startsWith('User:'));
}

async function result(page, id) {
  await page.waitForFunction((id) => /\b(ok|err)\b/.test(document.getElementById(id).className), id);
  return page.$eval('#' + id, (element) => element.className.replace('msg ', '') + ': ' + element.textContent);
}

try {
  await check('without a login the page is refused', async () => {
    expectEqual(await refused(undefined), ['login refused', true], 'outcome, page absent');
  });

  await check('a wrong login is refused', async () => {
    expectEqual(await refused({ username: 'admin', password: 'wrong' }), ['login refused', true],
      'outcome, page absent');
  });

  await check('after logging in the page reads and changes settings over HTTPS', async () => {
    const { context, page, problems } = await open({ username: 'admin', password: 'admin' });
    await connected(page);
    expectEqual(await page.textContent('#login-user'), 'User: admin', 'user');
    await page.fill('#station-form [name=id]', 'TLS-BASE');
    await page.click('#station-form button[type=submit]');
    expectEqual(await result(page, 'station-msg'), 'ok: Station ID saved.', 'station');
    await page.fill('#tunnex-form [name=RN]', 'secure.example');
    await page.fill('#tunnex-form [name=authtoken]', 'tok-over-tls');
    await page.click('#tunnex-form button[type=submit]');
    expectEqual(await result(page, 'tunnex-msg'), 'ok: Saved. Tunnel service A is enabled.', 'tunnex');

    // The new login reaches the web server through the user file the daemon keeps.
    await page.fill('#login-form [name=name]', 'surveyor');
    await page.fill('#login-form [name=newPass]', 'n3w-pass');
    await page.fill('#login-form [name=repeat]', 'n3w-pass');
    await page.fill('#login-form [name=oldPass]', 'admin');
    await page.click('#login-form button[type=submit]');
    expectEqual(await result(page, 'login-msg'), 'ok: Login changed.', 'login');
    expectEqual(problems, [], 'page errors');
    await context.close();
  });

  await check('the changed login is the one taken', async () => {
    // The daemon's stand-in rewrites the user file within a fraction of a second.
    let old;
    for (let tries = 0; tries < 20; tries++) {
      old = await refused({ username: 'admin', password: 'admin' });
      if (old[0] === 'login refused')
        break;
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    expectEqual(old, ['login refused', true], 'the old login');
    const { context, page } = await open({ username: 'surveyor', password: 'n3w-pass' });
    await connected(page);
    expectEqual([await page.textContent('#login-user'), await page.inputValue('#station-form [name=id]')],
      ['User: surveyor', 'TLS-BASE'], 'with the new login');
    await context.close();
  });
} finally {
  await finish(browser);
}
