// Headless Chromium's <audio> element plays a download URL and seeks in it
// (the seek is a byte-range request). Needs node, chromium, ffmpeg and
// playwright-core (from the browser tests' node_modules, or LYREBOX_PLAYWRIGHT);
// exits with 77 (skipped) when one of them is missing.
'use strict';
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');

const SKIP = 77;
const playwrightPath = process.env.LYREBOX_PLAYWRIGHT;
const chromiumPath = process.env.LYREBOX_CHROMIUM || '/usr/bin/chromium';
const serverPath = process.env.LYREBOX_TEST_SERVER;

function skip(why) {
  console.log('skipped: ' + why);
  process.exit(SKIP);
}

async function main() {
  if (!playwrightPath || !fs.existsSync(playwrightPath)) skip('playwright-core not installed');
  if (!fs.existsSync(chromiumPath)) skip('chromium not installed');
  const { chromium } = require(playwrightPath);

  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lyrebox-audio-'));
  const song = path.join(dir, 'Tone Song.mp3');
  try {
    execFileSync('ffmpeg', ['-nostdin', '-v', 'error', '-f', 'lavfi', '-i', 'sine=frequency=440:duration=60',
                            '-b:a', '128k', song]);
  } catch (e) {
    skip('ffmpeg not usable');
  }
  const server = spawn(serverPath, [dir], { stdio: ['pipe', 'pipe', 'inherit'] });
  const port = await new Promise((resolve, reject) => {
    readline.createInterface({ input: server.stdout }).once('line', resolve);
    server.once('exit', () => reject(new Error('server ended')));
  });
  const encode = (text) => Array.from(Buffer.from(text, 'utf8'), (b) =>
    /[A-Za-z0-9]/.test(String.fromCharCode(b)) ? String.fromCharCode(b) : '%' + b.toString(16).padStart(2, '0')).join('');
  const url = `http://127.0.0.1:${port}/download?path=${encode(song)}&auth=`;

  const browser = await chromium.launch({ executablePath: chromiumPath,
                                          args: ['--autoplay-policy=no-user-gesture-required', '--no-sandbox'] });
  try {
    const page = await browser.newPage();
    await page.setContent('<audio id="a" preload="auto"></audio>');
    const result = await page.evaluate(async (src) => {
      const a = document.getElementById('a');
      a.muted = true;
      a.src = src;
      await new Promise((ok, fail) => { a.onloadedmetadata = ok; a.onerror = () => fail(new Error('media error')); });
      const duration = a.duration;
      await a.play();
      a.currentTime = 45;
      await new Promise((ok) => { a.onseeked = ok; });
      const seekedTo = a.currentTime;
      const playing = new Promise((ok) => { a.ontimeupdate = () => { if (a.currentTime > seekedTo + 0.2) ok(); }; });
      await playing;
      return { duration, seekedTo, after: a.currentTime, error: a.error && a.error.code };
    }, url);
    console.log(JSON.stringify(result));
    if (Math.round(result.duration) !== 60) throw new Error('duration ' + result.duration);
    if (result.seekedTo < 44 || result.after <= result.seekedTo) throw new Error('seek did not play on');
  } finally {
    await browser.close();
    server.stdin.end();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

main().catch((e) => { console.error('FAILED: ' + e.message); process.exit(1); });
