// Test harness of the browser tests: a generated tagged music library, the
// real player with the plugin on a loopback port the kernel picks (each player in a
// folder of its own, so its INI file and index stay there), headless Chromium
// through playwright-core, and a small HTTP client for checking the player's
// state behind the page.
'use strict';

const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');

const SOURCE_DIR = path.resolve(__dirname, '..', '..', '..');
const BUILD_DIR = process.env.LYREBOX_BUILD_DIR || path.join(SOURCE_DIR, 'build');
const OUTPUT_DIR = process.env.LYREBOX_TEST_OUTPUT || path.join(BUILD_DIR, 'test-output', 'browser');

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

function tempDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// Tracks of the generated library: folder, file, tags. Lengths differ so
// sorting by size has a defined order.
const TRACKS = [
  { dir: 'Alpha Band/First Album', file: '01 Morning.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Morning', seconds: 30 },
  { dir: 'Alpha Band/First Album', file: '02 Noon.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Noon', seconds: 24 },
  { dir: 'Alpha Band/First Album', file: '03 Evening.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Evening', seconds: 18 },
  { dir: 'Beta Trio', file: 'Beta Song.mp3', artist: 'Beta Trio', album: 'Singles', title: 'Beta Song', seconds: 12 },
  { dir: 'Beta Trio', file: 'Café Ümlaut.mp3', artist: 'Beta Trio', album: 'Singles', title: 'Café Ümlaut', seconds: 9 },
  { dir: '', file: 'Zebra Loose.mp3', artist: 'Gamma', album: 'Loose Ends', title: 'Zebra Loose', seconds: 6 },
];

// Generates (once per cache folder) the library: short tagged MP3 files at 128 kbit/s.
function makeLibrary(name = 'library') {
  const root = path.join(os.tmpdir(), `lyrebox-browser-${name}-${process.pid}`);
  if (fs.existsSync(path.join(root, '.complete'))) return root;
  fs.rmSync(root, { recursive: true, force: true });
  for (const t of TRACKS) {
    const dir = path.join(root, t.dir);
    fs.mkdirSync(dir, { recursive: true });
    execFileSync('ffmpeg', ['-loglevel', 'error', '-nostdin', '-y', '-f', 'lavfi',
      '-i', `sine=frequency=${220 + 40 * t.seconds}:duration=${t.seconds}`, '-ac', '2', '-ar', '44100',
      '-c:a', 'libmp3lame', '-b:a', '128k', '-id3v2_version', '3',
      '-metadata', `artist=${t.artist}`, '-metadata', `album=${t.album}`, '-metadata', `title=${t.title}`,
      path.join(dir, t.file)]);
  }
  fs.writeFileSync(path.join(root, 'notes.txt'), 'not music\n');
  fs.writeFileSync(path.join(root, '.complete'), '');
  process.on('exit', () => fs.rmSync(root, { recursive: true, force: true }));
  return root;
}

// The port the player says its web app listens on: standard error carries
// "web app at http://A:P/..." once the server is up, or "web app not
// running: ..." when it could not start. The player's standard error is
// passed on to ours as it arrives.
function saidPort(child, timeoutMs = 60000) {
  return new Promise((resolve, reject) => {
    let said = '';
    const finish = (error, port) => {
      clearTimeout(timer);
      child.stderr.off('data', onData);
      child.off('exit', onExit);
      if (error) reject(error);
      else resolve(port);
    };
    const onData = (chunk) => {
      said += chunk.toString('utf8');
      const at = /web app at http:\/\/[^:\s]+:(\d+)\//.exec(said);
      if (at) finish(null, Number(at[1]));
      else if (said.includes('web app not running')) finish(new Error('the web app did not start: ' + said.trim()));
    };
    const onExit = (code) => finish(new Error(`player exited with ${code} before saying its port`));
    const timer = setTimeout(() => finish(new Error(`the player did not say its port within ${timeoutMs} ms`)), timeoutMs);
    child.stderr.on('data', onData);
    child.once('exit', onExit);
  });
}

// One HTTP request; resolves to { status, headers, body (Buffer), text }.
function request(host, method, name, params = {}, headers = {}) {
  // Percent-encoding only: the server keeps "+" as it is.
  const query = Object.entries(params).map(([k, v]) => k + '=' + encodeURIComponent(String(v))).join('&');
  const [hostname, port] = host.split(':');
  return new Promise((resolve, reject) => {
    const req = http.request({
      hostname, port: Number(port), method,
      path: '/' + name + (method === 'GET' && query ? '?' + query : ''),
      headers: Object.assign(method === 'POST' ? { 'Content-Type': 'application/x-www-form-urlencoded' } : {}, headers),
    }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => {
        const body = Buffer.concat(chunks);
        resolve({ status: res.statusCode, headers: res.headers, body, text: body.toString('utf8') });
      });
    });
    req.on('error', reject);
    req.setTimeout(20000, () => req.destroy(new Error('request timed out')));
    if (method === 'POST') req.end(query);
    else req.end();
  });
}

async function waitFor(check, what, timeoutMs = 20000) {
  const deadline = Date.now() + timeoutMs;
  let last;
  for (;;) {
    try {
      last = await check();
      if (last) return last;
    } catch (e) {
      last = e;
    }
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what} (last: ${last})`);
    await new Promise((r) => setTimeout(r, 100));
  }
}

// A running player with the plugin.
class Player {
  static async start({ sharedDirs = [], media = [], enableML = true, index = true } = {}) {
    const dir = tempDir('lyrebox-player-');
    const plugins = path.join(dir, 'plugins');
    fs.mkdirSync(plugins);
    const plugin = path.join(plugins, 'gen_lyrebox.so');
    fs.copyFileSync(path.join(BUILD_DIR, 'plugins', 'gen_lyrebox.so'), plugin);
    fs.writeFileSync(path.join(plugins, 'gen_lyrebox.ini'), [
      '[Lyrebox Remote Control Plugin v1.0]',
      'autoStart=1',
      'listenIP=127.0.0.1',
      // The kernel picks a free port; the player says which (saidPort).
      'listenPort=0',
      `Enable ML=${enableML ? 1 : 0}`,
      'Shared Dirs=' + sharedDirs.map((d) => d + ';').join(''),
      '',
    ].join('\n'), { mode: 0o600 });
    // The index the plugin searches lies beside it; build it as Reindex would.
    if (index && sharedDirs.length)
      execFileSync(path.join(BUILD_DIR, 'lyrebox-index'), [plugin, ...sharedDirs], { stdio: 'inherit' });
    const child = spawn(path.join(BUILD_DIR, 'lyrebox-player'), ['--headless', '--plugin', plugin, ...media],
      { cwd: dir, stdio: ['ignore', 'ignore', 'pipe'],
        env: Object.assign({}, process.env, { GST_REGISTRY: path.join(BUILD_DIR, 'gst-registry.bin'),
          XDG_STATE_HOME: path.join(dir, 'state') }) });
    child.stderr.on('data', (chunk) => process.stderr.write(chunk));
    let port;
    try {
      port = await saidPort(child);
    } catch (e) {
      child.kill('SIGKILL');
      fs.rmSync(dir, { recursive: true, force: true });
      throw e;
    }
    const player = new Player(child, `127.0.0.1:${port}`, dir);
    await waitFor(async () => {
      if (child.exitCode !== null) throw new Error(`player exited with ${child.exitCode}`);
      return (await player.get('favicon.ico')).status === 200;
    }, 'the player to answer');
    return player;
  }

  constructor(child, host, dir) {
    this.child = child;
    this.host = host;
    this.dir = dir;
    this.url = `http://${host}/`;
  }

  get(name, params) { return request(this.host, 'GET', name, params); }
  post(name, params) { return request(this.host, 'POST', name, params); }
  async text(name, params) { return (await this.get(name, params)).text; }
  async number(name, params) { return Number(await this.text(name, params)); }

  async titles() {
    const n = await this.number('getplaylistlength');
    const out = [];
    for (let i = 0; i < n; i++) out.push(await this.text('getplaylisttitle', { index: i }));
    return out;
  }

  async files() {
    const n = await this.number('getplaylistlength');
    const out = [];
    for (let i = 0; i < n; i++) out.push(await this.text('getplaylistfilename', { index: i }));
    return out;
  }

  async stop() {
    if (this.child.exitCode === null) {
      const ended = new Promise((r) => this.child.once('exit', r));
      this.child.kill('SIGTERM');
      const timer = setTimeout(() => this.child.kill('SIGKILL'), 10000);
      await ended;
      clearTimeout(timer);
    }
    fs.rmSync(this.dir, { recursive: true, force: true });
  }
}

async function launchBrowser() {
  const { chromium } = require('playwright-core');
  const profile = tempDir('lyrebox-chromium-');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.LYREBOX_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: CHROMIUM_ARGS,
    viewport: { width: 1000, height: 640 },
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A fresh page whose requests to the player are recorded as { method, name, params }.
async function openPage(context, url, { keepCookies = false } = {}) {
  if (!keepCookies) await context.clearCookies();
  const page = await context.newPage();
  const requests = [];
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('request', (r) => {
    const u = new URL(r.url());
    const params = {};
    const raw = (r.method() === 'POST' ? r.postData() || '' : '') + '&' + u.search.substring(1);
    for (const part of raw.split('&')) {
      const eq = part.indexOf('=');
      if (eq > 0 && !(part.substring(0, eq) in params)) {
        params[part.substring(0, eq)] = decodeText(part.substring(eq + 1));
      }
    }
    requests.push({ method: r.method(), host: u.host, name: u.pathname.substring(1), params });
  });
  page.requests = requests;
  page.errors = errors;
  page.sent = (name) => requests.filter((r) => r.name === name);
  if (url) await page.goto(url);
  return page;
}

// Percent-decoding as UTF-8, or byte for byte where the bytes are not UTF-8.
function decodeText(text) {
  try {
    return decodeURIComponent(text);
  } catch (e) {
    return unescape(text);
  }
}

function screenshotPath(name) {
  fs.mkdirSync(OUTPUT_DIR, { recursive: true });
  return path.join(OUTPUT_DIR, name);
}

module.exports = {
  TRACKS, makeLibrary, Player, launchBrowser, openPage, request, waitFor, screenshotPath, OUTPUT_DIR,
};
