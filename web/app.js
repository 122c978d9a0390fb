// The receiver's configuration page. Every request is a POST with a JSON body: a GET query
// string reaches the programs undecoded, and browsers percent-encode quotes and braces.
'use strict';

// Above the web server's own limit for a program (ins may wait twice on a busy receiver).
const REQUEST_TIMEOUT_MS = 70000;

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

function show(id, kind, text) {
  const element = $(id);
  element.className = 'msg ' + kind;
  element.textContent = text;
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

async function loadService(service, quiet) {
  const form = $(service.program + '-form');
  const result = await call(service.program);
  if (!result.ok || result.answer.Res !== 'success') {
    show(service.program + '-msg', 'err', 'Could not read the settings: ' + (result.error || 'the device refused'));
    return;
  }
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
    busy(form, async () => {
      const request = {};
      for (const key of service.keys)
        request[key] = key === 'region' ? Number(form.elements[key].value) : form.elements[key].value;
      show(msg, 'busy', 'Saving…');
      const result = await call(service.program, request);
      if (result.ok && result.answer.Res === 'success' && result.answer.State === 1)
        show(msg, 'ok', 'Saved. ' + service.title + ' is enabled.');
      else
        show(msg, 'err', 'Not saved: ' + (result.error || 'the receiver is busy, try again'));
      await loadService(service, true);
    });
  });

  form.querySelector('[data-disable]').addEventListener('click', () => {
    busy(form, async () => {
      show(msg, 'busy', 'Disabling…');
      const result = await call(service.program, { key: '' });
      if (result.ok && result.answer.Res === 'success' && result.answer.State === 0)
        show(msg, 'ok', service.title + ' is disabled.');
      else
        show(msg, 'err', 'Not disabled: ' + (result.error || 'the receiver is busy, try again'));
      await loadService(service, true);
    });
  });
}

// ---- Inertial navigation ----------------------------------------------------------------------

function showImu(state) {
  $('ins-imu').className = 'pill neutral';
  $('ins-imu').textContent = 'IMU state ' + state;
}

async function loadIns(formToo) {
  const result = await call('ins');
  if (!result.ok || result.answer.Res !== 'Success') {
    if (formToo)
      show('ins-msg', 'err', 'Could not read the settings: ' + (result.error || 'the receiver is busy'));
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
      if (result.ok && result.answer.Res === 'Success')
        show('ins-msg', 'ok', 'Applied.');
      else
        show('ins-msg', 'err', 'Not applied: ' + (result.error || 'the receiver is busy, try again'));
      await loadIns(true);
    });
  });
}

// ---- Base station ID and login ----------------------------------------------------------------

async function loadStation() {
  const result = await call('stationmark');
  if (!result.ok || typeof result.answer.id !== 'string') {
    show('station-msg', 'err', 'Could not read the station ID: ' + (result.error || 'no answer'));
    return;
  }
  $('station-form').elements.id.value = result.answer.id;
}

function wireStation() {
  const form = $('station-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    busy(form, async () => {
      show('station-msg', 'busy', 'Saving…');
      const result = await call('stationmark', { id: form.elements.id.value });
      // A change is answered with an empty object; a refused one with "Res": "failed".
      if (result.ok && Object.keys(result.answer).length === 0)
        show('station-msg', 'ok', 'Station ID saved.');
      else
        show('station-msg', 'err', 'Not saved: ' + (result.error || 'the receiver is busy, try again'));
      await loadStation();
    });
  });
}

async function loadLogin() {
  const result = await call('credset');
  if (!result.ok || result.answer.Res !== 0) {
    show('login-msg', 'err', 'Could not read the login: ' + (result.error || 'no answer'));
    return;
  }
  $('login-user').textContent = 'User: ' + result.answer.name;
}

function wireLogin() {
  const form = $('login-form');
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const fields = form.elements;
    if (fields.newPass.value !== fields.repeat.value) {
      show('login-msg', 'err', 'The new passwords differ.');
      return;
    }
    busy(form, async () => {
      show('login-msg', 'busy', 'Checking…');
      const result = await call('credset', {
        name: fields.name.value,
        newPass: fields.newPass.value,
        oldPass: fields.oldPass.value,
      });
      if (result.ok && result.answer.Res === 0) {
        show('login-msg', 'ok', 'Login changed.');
        form.reset();
      } else if (result.ok && result.answer.Res === -1) {
        show('login-msg', 'err', 'Refused: the current password is wrong.');
      } else {
        show('login-msg', 'err', 'Not changed: ' + (result.error || 'unexpected answer'));
      }
      await loadLogin();
    });
  });
}

// ---- Antenna list -----------------------------------------------------------------------------

async function loadAntennas() {
  const list = $('antenna-list');
  const result = await call('aerlist');
  list.replaceChildren();
  if (!result.ok) {
    $('antenna-count').textContent = '–';
    show('antenna-msg', 'err', 'Could not read the antenna list: ' + result.error);
    return false;
  }
  if (result.answer.Res !== 'Success' || !Array.isArray(result.answer.data)) {
    $('antenna-count').textContent = 'No list';
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
      const body = new FormData();
      body.append('file', file, file.name);
      show('antenna-msg', 'busy', 'Uploading ' + file.name + '…');
      const result = await call('aerkind', null, { body });
      const stored = result.ok && result.answer.Res === 'Success';
      await loadAntennas();
      if (stored)
        show('antenna-msg', 'ok', 'Uploaded ' + file.name + '.');
      else
        show('antenna-msg', 'err', 'Upload failed: ' + (result.error || 'the list was not stored'));
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

async function pollProgress() {
  const result = await call('fillmeter', {}, { timeout: 5000 });
  if (!result.ok || typeof result.answer.res !== 'string')
    return;
  const progress = parseFloat(result.answer.res);
  $('progress-text').textContent = result.answer.res + ' %';
  setBar('progress-fill', progress);
}

async function pollSignal() {
  const result = await call('aersignal', {}, { timeout: 5000 });
  if (!result.ok || result.answer.Res !== 'ok')
    return;
  let log;
  try {
    log = JSON.parse(result.answer.log);
  } catch (e) {
    return;
  }
  for (const [antenna, key] of [['sqi1', 'Ant1SQI'], ['sqi2', 'Ant2SQI']]) {
    $(antenna + '-text').textContent = log[key];
    setBar(antenna + '-fill', log[key]);
  }
}

document.addEventListener('DOMContentLoaded', () => {
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
