// Fixtures of the touch remote's browser tests: a tagged library with a
// folder cover and an embedded picture, browser contexts at phone, tablet
// and desktop sizes, finger gestures sent as touch events over CDP, and
// layout checks measured in the page.
'use strict';

const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

// Sizes the page is checked at. Phones get touch and device scale 3.
const SIZES = [
  { name: 'phone-360', width: 360, height: 740, touch: true },
  { name: 'phone-390', width: 390, height: 844, touch: true },
  { name: 'tablet-768', width: 768, height: 1024, touch: false },
  { name: 'desktop-1280', width: 1280, height: 800, touch: false },
];

// Tracks of the library. The folder "Alpha Band/First Album" has a cover
// file (64 x 64); "Béla Kovács - Dal" carries an embedded picture (48 x 48),
// so the two are told apart by their size.
const TRACKS = [
  { dir: 'Alpha Band/First Album', file: '01 Morning.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Morning', seconds: 40 },
  { dir: 'Alpha Band/First Album', file: '02 Noon.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Noon', seconds: 30 },
  { dir: 'Alpha Band/First Album', file: '03 Evening.mp3', artist: 'Alpha Band', album: 'First Album', title: 'Evening', seconds: 20 },
  { dir: 'Beta Trio', file: 'Béla Kovács - Dal.mp3', artist: 'Béla Kovács', album: 'Énekek', title: 'Dal', seconds: 60, picture: true },
  { dir: 'Beta Trio', file: 'Beta Song.mp3', artist: 'Beta Trio', album: 'Singles', title: 'Beta Song', seconds: 25 },
  { dir: '', file: 'Zebra Loose.mp3', artist: 'Gamma', album: 'Loose Ends', title: 'Zebra Loose', seconds: 15 },
];

const FOLDER_COVER = 64;
const EMBEDDED_COVER = 48;

function ffmpeg(args) {
  execFileSync('ffmpeg', ['-loglevel', 'error', '-nostdin', '-y', ...args]);
}

// A still picture: three colours from one corner to the other.
const gradient = (side, c0, c1, c2) =>
  `gradients=s=${side}x${side}:c0=${c0}:c1=${c1}:c2=${c2}:nb_colors=3:x0=0:y0=0:x1=${side - 1}:y1=${side - 1}:speed=0.00001`;

function makeRemoteLibrary() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'lyrebox-remote-library-'));
  const picture = path.join(root, '.embedded.jpg');
  ffmpeg(['-f', 'lavfi', '-i', gradient(EMBEDDED_COVER, '0x264653', '0x2a9d8f', '0xe9c46a'), '-frames:v', '1', picture]);
  for (const t of TRACKS) {
    const dir = path.join(root, t.dir);
    fs.mkdirSync(dir, { recursive: true });
    const audio = ['-f', 'lavfi', '-i', `sine=frequency=${200 + 7 * t.seconds}:duration=${t.seconds}`];
    const withPicture = t.picture ? ['-i', picture, '-map', '0:a', '-map', '1:v', '-c:v', 'copy',
      '-metadata:s:v', 'title=Album cover', '-metadata:s:v', 'comment=Cover (front)'] : [];
    ffmpeg([...audio, ...withPicture, '-ac', '2', '-ar', '44100', '-c:a', 'libmp3lame', '-b:a', '64k',
      '-id3v2_version', '3', '-metadata', `artist=${t.artist}`, '-metadata', `album=${t.album}`,
      '-metadata', `title=${t.title}`, path.join(dir, t.file)]);
  }
  ffmpeg(['-f', 'lavfi', '-i', gradient(FOLDER_COVER, '0x1c3d7d', '0xe07a5f', '0xf2cc8f'), '-frames:v', '1',
    path.join(root, 'Alpha Band/First Album/cover.jpg')]);
  fs.rmSync(picture);
  return root;
}

const filesOf = (root) => TRACKS.map((t) => path.join(root, t.dir, t.file));

async function newContext(browser, size) {
  return browser.newContext({
    viewport: { width: size.width, height: size.height },
    deviceScaleFactor: size.touch ? 3 : 1,
    hasTouch: size.touch,
    isMobile: size.touch,
  });
}

// A finger drag from one point to another in CSS px, as touch events.
async function touchDrag(page, from, to, { steps = 8, holdMs = 0 } = {}) {
  const cdp = await page.context().newCDPSession(page);
  const point = (p) => [{ x: p.x, y: p.y, id: 1, radiusX: 4, radiusY: 4, force: 1 }];
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: point(from) });
  if (holdMs) await new Promise((r) => setTimeout(r, holdMs));
  for (let i = 1; i <= steps; i++) {
    const p = { x: from.x + ((to.x - from.x) * i) / steps, y: from.y + ((to.y - from.y) * i) / steps };
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: point(p) });
  }
  // The finger rests before it lifts. Lifted while moving, the browser
  // starts a fling, and the next tap only stops the fling (no click).
  await new Promise((r) => setTimeout(r, 120));
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: point(to) });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  await cdp.detach();
}

const centre = (box) => ({ x: box.x + box.width / 2, y: box.y + box.height / 2 });

// Visible controls smaller than 44 x 44 CSS px, the document's overflow,
// and visible text under 15 px, measured in the page.
function measureLayout(page) {
  return page.evaluate(() => {
    const visible = (el) => {
      const r = el.getBoundingClientRect();
      if (r.width === 0 && r.height === 0) return false;
      const s = getComputedStyle(el);
      return s.visibility !== 'hidden' && s.display !== 'none';
    };
    const small = [];
    for (const el of document.querySelectorAll('button, select, input, [role="slider"], label.check, a[href]')) {
      if (!visible(el)) continue;
      const target = el.matches('input[type="checkbox"]') ? el.closest('label') : el;
      const r = target.getBoundingClientRect();
      if (r.width < 44 || r.height < 44)
        small.push(`${el.id || el.getAttribute('aria-label') || el.textContent.trim()} ${r.width.toFixed(1)}x${r.height.toFixed(1)}`);
    }
    const tinyText = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      if (!n.textContent.trim() || !visible(n.parentElement)) continue;
      const size = parseFloat(getComputedStyle(n.parentElement).fontSize);
      if (size < 15) tinyText.push(`${n.textContent.trim().slice(0, 30)} ${size}px`);
    }
    const unnamed = [];
    for (const el of document.querySelectorAll('button, select, input, [role="slider"]')) {
      const name = el.getAttribute('aria-label') || el.textContent.trim() || (el.labels && el.labels[0] && el.labels[0].textContent.trim());
      if (!name) unnamed.push(el.outerHTML.slice(0, 60));
    }
    // A pane cuts off what is wider than itself (overflow-x is hidden), so
    // its content must fit as well.
    const cut = Array.from(document.querySelectorAll('.pane')).filter(visible)
      .filter((p) => p.scrollWidth > p.clientWidth + 1).map((p) => `${p.id} ${p.scrollWidth}>${p.clientWidth}`);
    return {
      small, tinyText, unnamed, cut,
      scrollWidth: document.documentElement.scrollWidth,
      innerWidth: window.innerWidth,
    };
  });
}

module.exports = {
  SIZES, TRACKS, FOLDER_COVER, EMBEDDED_COVER, makeRemoteLibrary, filesOf, newContext, touchDrag, centre, measureLayout,
};
