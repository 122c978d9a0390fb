// The receiver's configuration page. Every request is a POST with a JSON body: a GET query
// string reaches the programs undecoded, and browsers percent-encode quotes and braces.
'use strict';

// Above the web server's own limit for a program (75 s), so a hanging program is reported
// the way the server ends it.
const REQUEST_TIMEOUT_MS = 80000;

const $ = (id) => document.getElementById(id);

// One answer from a program: {ok: true, answer} or {ok: false, error}.
async function call(program, request = {}, options = {}) {
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), options.timeout || REQUEST_TIMEOUT_MS);
  try {
    const response = await fetch('/cgi-bin/' + program, {
      method: 'POST',
      body: options.body || JSON.stringify(request),
      signal: abort.signal,
      cache: 'no-store',
    });
    // After a change of the web login the browser still offers the old one.
    if (response.status === 401)
      return { ok: false, error: 'the device asks for the login again: reload the page' };
    if (!response.ok)
      return { ok: false, error: 'the device answered HTTP ' + response.status };
    const text = await response.text();
    let answer;
    try {
      answer = JSON.parse(text);
    } catch (e) {
      return { ok: false, error: 'the device gave no readable answer' };
    }
    if (answer === null || typeof answer !== 'object' || Array.isArray(answer))
      return { ok: false, error: 'the device gave no readable answer' };
    setLink(true);
    return { ok: true, answer };
  } catch (e) {
    setLink(false);
    return { ok: false, error: e.name === 'AbortError' ? 'no answer in time' : 'the device cannot be reached' };
  } finally {
    clearTimeout(timer);
  }
}

function setLink(up) {
  $('link').className = 'link ' + (up ? 'up' : 'down');
  $('link-text').textContent = up ? 'Connected' : 'No connection';
}

// A result line of a card; a failure may offer to run its action again.
function show(id, kind, text, retry) {
  const element = $(id);
  element.className = 'msg ' + kind;
  element.textContent = text;
  if (!retry)
    return;
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'retry';
  button.textContent = 'Try again';
  button.addEventListener('click', retry);
  element.append(' ', button);
}

// ---- Field limits ------------------------------------------------------------------------------
// The receiver stores each text in a field of fixed size, counted in bytes of UTF-8, and a longer
// text would be cut there without a word: a token or a password would then silently differ from
// the one typed. So a form with a text over its field's size (data-max-bytes) is not sent.

const encoder = new TextEncoder();

function fieldName(input) {
  return input.closest('label').firstChild.textContent.trim();
}

// Shows the first text of the form that does not fit and returns true; false when all fit.
function refuseOverLimit(form, msg) {
  for (const input of form.querySelectorAll('[data-max-bytes]')) {
    const limit = Number(input.dataset.maxBytes);
    const bytes = encoder.encode(input.value).length;
    input.classList.toggle('over', bytes > limit);
    if (bytes > limit) {
      show(msg, 'err', `${fieldName(input)} is too long: ${bytes} bytes, at most ${limit} fit ` +
        '(accented letters and symbols take 2 to 4 each). Nothing was sent.');
      input.focus();
      return true;
    }
  }
  return false;
}

function setPill(id, enabled) {
  const pill = $(id);
  pill.className = 'pill ' + (enabled ? 'on' : 'off');
  pill.textContent = enabled ? 'Enabled' : 'Disabled';
}

// Runs one action with its buttons disabled, so a slow receiver cannot get the same change twice.
async function busy(form, action) {
  const buttons = form.querySelectorAll('button');
  buttons.forEach((button) => { button.disabled = true; });
  try {
    await action();
  } finally {
    buttons.forEach((button) => { button.disabled = false; });
  }
}

// ---- Remote access: tunnex, portvia and ddns share one protocol ------------------------------

const services = [
  { program: 'tunnex', title: 'Tunnel service A', keys: ['RN', 'authtoken', 'region'] },
  { program: 'portvia', title: 'Tunnel service B', keys: ['RN', 'authtoken'] },
  { program: 'ddns', title: 'Dynamic DNS', keys: ['SP', 'username', 'password', 'RN'] },
];

// Reads the stored settings into the form; after a failed change only the state, so the
// entries stay for another try.
async function loadService(service, quiet, keepEntries) {
  const form = $(service.program + '-form');
  const result = await call(service.program);
  if (!result.ok || result.answer.Res !== 'success') {
    show(service.program + '-msg', 'err', 'Could not read the settings: ' +
      (result.error || 'the receiver did not answer them'), () => loadService(service));
    return;
  }
  if (!keepEntries)
    for (const key of service.keys)
      form.elements[key].value = result.answer[key] ?? '';
  setPill(service.program + '-state', result.answer.State === 1);
  if (!quiet)
    show(service.program + '-msg', '', '');
}

function wireService(service) {
  const form = $(service.program + '-form');
  const msg = service.program + '-msg';

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (refuseOverLimit(form, msg))
      return;
    busy(form, async () => {
      const request = {};
      for (const key of service.keys)
        request[key] = key === 'region' ? Number(form.elements[key].value) : form.elements[key].value;
      show(msg, 'busy', 'Saving…');
      const result = await call(service.program, request);
      const saved = result.ok && result.answer.Res === 'success' && result.answer.State === 1;
      await loadService(service, true, !saved);
      if (saved)
        show(msg, 'ok', 'Saved. ' + service.title + ' is enabled.');
      else
        show(msg, 'err', 'Not saved: ' + (result.error || 'the receiver did not take the change'),
          () => form.requestSubmit());
    });
  });

  const disable = form.querySelector('[data-disable]');
  disable.addEventListener('click', () => {
    busy(form, async () => {
      show(msg, 'busy', 'Disabling…');
      const result = await call(service.program, { key: '' });
      const disabled = result.ok && result.answer.Res === 'success' && result.answer.State === 0;
      await loadService(service, true, !disabled);
      if (disabled)
        show(msg, 'ok', service.title + ' is disabled.');
      else
        show(msg, 'err', 'Not disabled: ' + (result.error || 'the receiver did not take the change'),
          () => disable.click());
    });
  });
}

// ---- Inertial navigation ----------------------------------------------------------------------

// The unit's state, or "unavailable" when it could not be read: never a stale value.
function showImu(state) {
  $('ins-imu').className = 'pill neutral';
  $('ins-imu').textContent = state === undefined ? 'IMU state unavailable' : 'IMU state ' + state;
}

async function loadIns(formToo) {
  const result = await call('ins');
  if (!result.ok || result.answer.Res !== 'Success') {
    showImu(undefined);
    if (formToo)
      show('ins-msg', 'err', 'Could not read the settings: ' +
        (result.error || 'the receiver did not answer them'), () => loadIns(true));
    return;
  }
  const answer = result.answer;
  showImu(answer.imuState);
  if (!formToo)
    return;
  const form = $('ins-form');
  form.elements.enable.checked = answer.enable !== 0;
  // A record this page never wrote may hold no valid mode; the choice then stays at mode 1.
  if (answer.mode >= 1 && answer.mode <= 8)
    form.elements.mode.value = String(answer.mode);
  form.elements.initSV.value = answer.initSV;
}

function wireIns() {
  const form = $('ins-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    busy(form, async () => {
      const request = {
        enable: form.elements.enable.checked ? 1 : 0,
        mode: Number(form.elements.mode.value),
        initSV: Number(form.elements.initSV.value),
      };
      show('ins-msg', 'busy', 'Applying… (the receiver confirms the change)');
      const result = await call('ins', request);
      const applied = result.ok && result.answer.Res === 'Success';
      await loadIns(applied);
      if (applied)
        show('ins-msg', 'ok', 'Applied.');
      else
        show('ins-msg', 'err', 'Not applied: ' + (result.error || 'the receiver did not take the change'),
          () => form.requestSubmit());
    });
  });
}

// ---- Base station ID and login ----------------------------------------------------------------

async function loadStation() {
  const result = await call('stationmark');
  if (!result.ok || typeof result.answer.id !== 'string') {
    show('station-msg', 'err', 'Could not read the station ID: ' +
      (result.error || 'the receiver did not answer it'), loadStation);
    return;
  }
  $('station-form').elements.id.value = result.answer.id;
}

function wireStation() {
  const form = $('station-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (refuseOverLimit(form, 'station-msg'))
      return;
    busy(form, async () => {
      show('station-msg', 'busy', 'Saving…');
      const result = await call('stationmark', { id: form.elements.id.value });
      // A change is answered with an empty object; a refused one with "Res": "failed".
      if (result.ok && Object.keys(result.answer).length === 0) {
        await loadStation();
        show('station-msg', 'ok', 'Station ID saved.');
      } else {
        show('station-msg', 'err', 'Not saved: ' + (result.error || 'the receiver did not take the change'),
          () => form.requestSubmit());
      }
    });
  });
}

async function loadLogin() {
  const result = await call('credset');
  if (!result.ok || result.answer.Res !== 0) {
    show('login-msg', 'err', 'Could not read the login: ' +
      (result.error || 'the receiver did not answer it'), loadLogin);
    return;
  }
  $('login-user').textContent = 'User: ' + result.answer.name;
}

function wireLogin() {
  const form = $('login-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const fields = form.elements;
    if (refuseOverLimit(form, 'login-msg'))
      return;
    // With the web login on, an empty name would lock everyone out.
    if (fields.name.value === '') {
      show('login-msg', 'err', 'Enter a new user name. Nothing was sent.');
      fields.name.focus();
      return;
    }
    if (fields.newPass.value !== fields.repeat.value) {
      show('login-msg', 'err', 'The new passwords differ. Nothing was sent.');
      return;
    }
    busy(form, async () => {
      show('login-msg', 'busy', 'Checking…');
      const result = await call('credset', {
        name: fields.name.value,
        newPass: fields.newPass.value,
        oldPass: fields.oldPass.value,
      });
      const changed = result.ok && result.answer.Res === 0;
      if (changed)
        form.reset();
      await loadLogin();
      if (changed)
        show('login-msg', 'ok', 'Login changed.');
      else if (result.ok && result.answer.Res === -1)
        show('login-msg', 'err', 'Not changed: the current password is wrong, or the receiver ' +
          'could not store the change.', () => form.requestSubmit());
      else
        show('login-msg', 'err', 'Not changed: ' + (result.error || 'the receiver did not take the change'),
          () => form.requestSubmit());
    });
  });
}

// ---- Antenna list -----------------------------------------------------------------------------

async function loadAntennas() {
  const list = $('antenna-list');
  const result = await call('aerlist');
  list.replaceChildren();
  if (!result.ok || result.answer.Res !== 'Success' || !Array.isArray(result.answer.data)) {
    $('antenna-count').textContent = 'No list';
    show('antenna-msg', 'err', 'Could not read the antenna list: ' +
      (result.error || 'none is stored yet, or the receiver could not read it'), loadAntennas);
    return false;
  }
  for (const name of result.answer.data) {
    const item = document.createElement('li');
    item.textContent = name;
    list.append(item);
  }
  const count = result.answer.data.length;
  $('antenna-count').textContent = count + (count === 1 ? ' model' : ' models');
  return true;
}

// The receiver's table holds 800 names of at most 20 bytes; the list is read back that way,
// so a longer list or name would come back cut. Returns why a list does not fit, or null.
const MAX_ANTENNAS = 800;
const MAX_ANTENNA_BYTES = 20;

async function antennaListProblem(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  let lines = 0;
  for (let start = 0; start < bytes.length; lines++) {
    let end = bytes.indexOf(10, start);
    const next = end === -1 ? bytes.length : end + 1;
    if (end === -1)
      end = bytes.length;
    if (end > start && bytes[end - 1] === 13)
      end--;
    if (lines === MAX_ANTENNAS)
      return `it has more than ${MAX_ANTENNAS} names, the most the receiver holds`;
    if (end - start > MAX_ANTENNA_BYTES)
      return `line ${lines + 1} is ${end - start} bytes long, an antenna name holds at most ${MAX_ANTENNA_BYTES}`;
    start = next;
  }
  return null;
}

function wireAntennas() {
  const form = $('antenna-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const file = $('antenna-file').files[0];
    if (!file) {
      show('antenna-msg', 'err', 'Choose a list file first.');
      return;
    }
    busy(form, async () => {
      show('antenna-msg', 'busy', 'Checking ' + file.name + '…');
      const problem = await antennaListProblem(file);
      if (problem) {
        show('antenna-msg', 'err', `${file.name} does not fit: ${problem}. Nothing was sent.`);
        return;
      }
      const body = new FormData();
      body.append('file', file, file.name);
      show('antenna-msg', 'busy', 'Uploading ' + file.name + '…');
      const result = await call('aerkind', null, { body });
      const stored = result.ok && result.answer.Res === 'Success';
      await loadAntennas();
      if (stored)
        show('antenna-msg', 'ok', 'Uploaded ' + file.name + '.');
      else
        show('antenna-msg', 'err', 'Upload failed: ' + (result.error || 'the list was not stored'),
          () => form.requestSubmit());
    });
  });
  $('antenna-reload').addEventListener('click', () => {
    show('antenna-msg', '', '');
    loadAntennas();
  });
}

// ---- Live status ------------------------------------------------------------------------------

function setBar(fill, percent) {
  $(fill).style.width = Math.max(0, Math.min(100, percent)) + '%';
}

// Repeats a poll at a fixed pace, never with two of the same requests in flight.
function every(ms, poll) {
  let running = false;
  const tick = async () => {
    if (running)
      return;
    running = true;
    try {
      await poll();
    } finally {
      running = false;
    }
  };
  tick();
  setInterval(tick, ms);
}

// A status value, or "unavailable" (the receiver's records could not be read, or no answer):
// an old value shown as if it were current would mislead.
function showStatus(name, percent, text) {
  const known = Number.isFinite(percent);
  $(name + '-text').textContent = known ? text : 'unavailable';
  $(name + '-text').classList.toggle('unavailable', !known);
  setBar(name + '-fill', known ? percent : 0);
}

async function pollProgress() {
  const result = await call('fillmeter', {}, { timeout: 5000 });
  const text = result.ok ? result.answer.res : undefined;
  if (typeof text === 'string' && /^-?\d+\.\d\d$/.test(text))
    showStatus('progress', parseFloat(text), text + ' %');
  else
    showStatus('progress', NaN);
}

function signalLog(result) {
  if (!result.ok || result.answer.Res !== 'ok')
    return {};
  try {
    return JSON.parse(result.answer.log) ?? {};
  } catch (e) {
    return {};
  }
}

async function pollSignal() {
  const log = signalLog(await call('aersignal', {}, { timeout: 5000 }));
  showStatus('sqi1', log.Ant1SQI, String(log.Ant1SQI));
  showStatus('sqi2', log.Ant2SQI, String(log.Ant2SQI));
}

document.addEventListener('DOMContentLoaded', () => {
  document.addEventListener('input', (event) => event.target.classList.remove('over'));
  services.forEach(wireService);
  wireIns();
  wireStation();
  wireLogin();
  wireAntennas();

  services.forEach((service) => loadService(service));
  loadIns(true);
  loadStation();
  loadLogin();
  loadAntennas();

  every(500, pollProgress);
  every(1000, pollSignal);
  every(5000, () => loadIns(false));
});
