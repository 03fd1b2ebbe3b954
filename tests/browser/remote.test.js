// The touch remote ("remote") in headless Chromium against the real player:
// layout at phone, tablet and desktop sizes (with screenshots), every action
// checked against the player's state over HTTP, finger gestures sent as touch
// events, live updates between two pages with polling off, cover art, and the
// classic root page's link to it.
'use strict';

const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { Player, waitFor, screenshotPath } = require('./lib/harness');
const {
  SIZES, FOLDER_COVER, EMBEDDED_COVER, makeRemoteLibrary, filesOf, newContext, touchDrag, centre, measureLayout,
} = require('./lib/remote-fixtures');

// The policy the server is meant to send with its pages; the tests add it
// themselves, so the page is checked against it whatever the server sends.
const CSP = "default-src 'self'; img-src 'self' data: blob:; frame-ancestors 'self'";

const LONG_TITLE = 'An Extraordinarily Long Title That Keeps Going And Going Without Any End In Sight (Live Extended Remix 2024)';

describe('touch remote', () => {
  let library, files, player, browser;
  const contexts = {};
  const pages = [];

  before(async () => {
    library = makeRemoteLibrary();
    files = filesOf(library);
    player = await Player.start({ sharedDirs: [library], media: files });
    const { chromium } = require('playwright-core');
    browser = await chromium.launch({
      executablePath: process.env.LYREBOX_CHROMIUM || '/usr/bin/chromium',
      headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync'],
    });
  });

  after(async () => {
    for (const p of pages) {
      assert.deepEqual(p.errors, [], 'no script errors or policy violations');
    }
    if (browser) await browser.close();
    if (player) await player.stop();
    if (library) fs.rmSync(library, { recursive: true, force: true });
  });

  async function context(size) {
    if (!contexts[size.name]) contexts[size.name] = await newContext(browser, size);
    return contexts[size.name];
  }

  // Opens the remote with the policy header added; records errors. prepare
  // (page) runs before the page loads, for routes of the test's own.
  async function open(size, query = '', prepare = null) {
    const ctx = await context(size);
    const page = await ctx.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(e.message));
    page.on('console', (m) => {
      if (m.type() === 'error' && /Content Security Policy/i.test(m.text())) page.errors.push(m.text());
    });
    page.requests = [];
    page.on('request', (r) => page.requests.push(new URL(r.url()).pathname.substring(1)));
    await page.route(/\/remote(\?.*)?$/, async (route) => {
      const response = await route.fetch();
      await route.fulfill({ response, headers: { ...response.headers(), 'content-security-policy': CSP } });
    });
    if (prepare) await prepare(page);
    await page.goto(player.url + 'remote' + query);
    pages.push(page);
    return page;
  }

  const status = async () => JSON.parse((await player.get('status.json')).text);
  const position = () => player.number('getplaylistpos');

  async function setQueue(list = files, titles = null) {
    await player.post('stop');
    await player.post('clearplaylist');
    const lines = list.map((f, i) => (titles ? titles[i] : f.split('/').pop().replace(/\.mp3$/, '')) + '\t' + f + '\n');
    await player.post('enqueueplaylist', { playlist: lines.join('') });
    await waitFor(async () => (await player.number('getplaylistlength')) === list.length, 'the new queue');
  }

  async function playAt(index) {
    await player.post('setplaylistpos', { index });
    await player.post('play');
    await waitFor(async () => (await status()).state === 'playing' && (await position()) === index, 'playing ' + index);
  }

  const rows = (page) => page.locator('#queue-list > li');
  const waitMarked = (page, i) => waitFor(async () => (await rows(page).nth(i).getAttribute('aria-current')) === 'true',
    `entry ${i} marked`);
  // The page has drawn the player's current play list (its revision), and it has n rows.
  const waitRows = async (page, n) => {
    const { revision } = JSON.parse((await player.get('playlist.json')).text);
    await waitFor(() => page.evaluate((r) => Remote.app.playlistRevision >= r && !Remote.app.playlistPending, revision),
      `revision ${revision} shown`);
    await waitFor(async () => (await rows(page).count()) === n, `${n} queue rows`);
  };

  async function showPane(page, pane) {
    const tab = page.locator('#tab-' + pane);
    if (await tab.isVisible()) {
      if (await page.evaluate(() => matchMedia('(pointer: coarse)').matches)) await tab.tap();
      else await tab.click();
    }
    await waitFor(() => page.locator('#' + pane).isVisible(), pane + ' visible');
  }

  it('serves the page, its scripts, the manifest and the icons with their types', async () => {
    const types = {
      remote: 'text/html', 'remote.css': 'text/css', 'remote.js': 'text/javascript',
      'remote-data.js': 'text/javascript', 'remote-queue.js': 'text/javascript',
      'remote-library.js': 'text/javascript', 'remote.webmanifest': 'application/manifest+json',
    };
    for (const [name, type] of Object.entries(types)) {
      const answer = await player.get(name);
      assert.equal(answer.status, 200, name);
      assert.equal(answer.headers['content-type'], type, name);
    }
    const manifest = JSON.parse((await player.get('remote.webmanifest')).text);
    assert.equal(manifest.start_url, 'remote');
    assert.deepEqual(manifest.icons.map((i) => i.sizes), ['192x192', '512x512']);
    for (const icon of manifest.icons) {
      const answer = await player.get(icon.src);
      assert.equal(answer.headers['content-type'], 'image/png');
      assert.equal(answer.body.subarray(1, 4).toString(), 'PNG');
      const side = Number(icon.sizes.split('x')[0]);
      assert.deepEqual([answer.body.readUInt32BE(16), answer.body.readUInt32BE(20)], [side, side]);
    }
  });

  for (const size of SIZES) {
    it(`lays out every pane at ${size.width}x${size.height} with large targets and nothing too wide`, async () => {
      await setQueue([...files, files[0]], [...files.map((f) => f.split('/').pop()), LONG_TITLE]);
      await playAt(0);
      const page = await open(size);
      await waitRows(page, files.length + 1);
      await waitFor(async () => (await page.locator('#library-list > li').count()) > 0, 'the shared folders');
      await waitFor(() => page.locator('#cover').isVisible(), 'the cover');
      for (const pane of ['now', 'queue', 'library']) {
        await showPane(page, pane);
        if (pane === 'library') {
          await page.locator('#library-list button[data-role="open"]').first().click();
          await waitFor(async () => (await page.locator('#crumbs .crumb').count()) === 2, 'the shared folder');
        }
        await page.screenshot({ path: screenshotPath(`remote-${size.name}-${pane}.png`) });
        const m = await measureLayout(page);
        assert.deepEqual(m.small, [], `targets under 44 px in ${pane}`);
        assert.deepEqual(m.tinyText, [], `text under 15 px in ${pane}`);
        assert.deepEqual(m.unnamed, [], 'controls without a name');
        assert.deepEqual(m.cut, [], 'panes narrower than their content');
        assert.ok(m.scrollWidth <= m.innerWidth, `document ${m.scrollWidth} px wide in a ${m.innerWidth} px viewport`);
      }
      const shown = await page.evaluate(() => ['now', 'queue', 'library'].filter((id) => document.getElementById(id).offsetParent));
      assert.equal(shown.length, size.width < 700 ? 1 : size.width < 1100 ? 2 : 3, 'panes side by side');
      await page.close();
    });
  }

  it('has no horizontal scrolling at 320 px', async () => {
    const narrow = { name: 'phone-320', width: 320, height: 640, touch: true };
    const page = await open(narrow);
    await waitFor(async () => (await rows(page).count()) > 0, 'the queue');
    for (const pane of ['now', 'queue', 'library']) {
      await showPane(page, pane);
      const m = await measureLayout(page);
      assert.ok(m.scrollWidth <= 320, `${pane}: ${m.scrollWidth} px`);
      assert.deepEqual(m.cut, [], pane);
      assert.deepEqual(m.small, [], pane);
    }
    await page.close();
  });

  it('follows the system\'s dark scheme', async () => {
    const page = await open(SIZES[1]);
    await waitFor(async () => (await rows(page).count()) > 0, 'the queue');
    const colours = () => page.evaluate(() => {
      const lum = (c) => c.match(/\d+/g).slice(0, 3).reduce((a, v) => a + Number(v), 0) / 765;
      return [lum(getComputedStyle(document.body).backgroundColor), lum(getComputedStyle(document.body).color)];
    });
    await page.emulateMedia({ colorScheme: 'light' });
    const [lightBg, lightText] = await colours();
    assert.ok(lightBg > 0.8 && lightText < 0.3, `light: ${lightBg} ${lightText}`);
    await page.emulateMedia({ colorScheme: 'dark' });
    const [darkBg, darkText] = await colours();
    assert.ok(darkBg < 0.2 && darkText > 0.8, `dark: ${darkBg} ${darkText}`);
    await page.screenshot({ path: screenshotPath('remote-phone-390-now-dark.png') });
    await page.close();
  });

  describe('on a phone, against the player', () => {
    const phone = SIZES[1];
    let page;

    before(async () => {
      await setQueue();
      page = await open(phone);
      await waitRows(page, files.length);
    });

    it('plays a queue entry when it is tapped, and marks it', async () => {
      await showPane(page, 'queue');
      await rows(page).nth(2).locator('[data-role="play"]').tap();
      await waitFor(async () => (await position()) === 2 && (await status()).state === 'playing', 'entry 2 playing');
      await waitFor(async () => (await rows(page).nth(2).getAttribute('aria-current')) === 'true', 'the mark');
    });

    it('scrolls the playing entry of a long queue into view', async () => {
      const long = Array.from({ length: 5 }, () => files).flat();
      await setQueue(long);
      await playAt(27);
      await waitRows(page, long.length);
      await showPane(page, 'queue');
      await waitMarked(page, 27);
      const pane = await page.locator('#queue').boundingBox();
      const row = await rows(page).nth(27).boundingBox();
      assert.ok(row.y >= pane.y && row.y + row.height <= pane.y + pane.height, `row at ${row.y}, pane ${pane.y}-${pane.y + pane.height}`);
      await playAt(2);
      await waitMarked(page, 2);
      const first = await rows(page).nth(2).boundingBox();
      assert.ok(first.y >= pane.y && first.y + first.height <= pane.y + pane.height, 'back at the top');
      await setQueue();
      await playAt(2);
    });

    it('drives the transport buttons', async () => {
      await showPane(page, 'now');
      const steps = [
        ['#next', async () => (await position()) === 3],
        ['#prev', async () => (await position()) === 2],
        ['#playpause', async () => (await status()).state === 'paused'],
        ['#playpause', async () => (await status()).state === 'playing'],
        ['#stop', async () => (await status()).state === 'stopped'],
        ['#playpause', async () => (await status()).state === 'playing'],
      ];
      for (const [selector, check] of steps) {
        await waitFor(async () => (await page.locator('#playpause').getAttribute('aria-label')) !== null, 'ready');
        await page.locator(selector).tap();
        await waitFor(check, 'after ' + selector);
        // The page follows before the next tap, so play/pause knows the state.
        const s = await status();
        await waitFor(async () => (await page.locator('#playpause').getAttribute('aria-label')) ===
          (s.state === 'playing' ? 'Pause' : 'Play'), 'the button shows the state');
      }
    });

    it('seeks by dragging a finger along the bar', async () => {
      await playAt(3);  // the 60 s track
      await showPane(page, 'now');
      const box = await page.locator('#seek').boundingBox();
      const y = box.y + box.height / 2;
      const at = (f) => box.x + 22 + f * (box.width - 44);
      await touchDrag(page, { x: at(0.1), y }, { x: at(0.75), y });
      await waitFor(async () => Math.abs((await player.number('getposition')) - 0.75) < 0.05, 'the player at 75 %');
    });

    it('sets the volume by finger, and mutes and unmutes', async () => {
      const box = await page.locator('#volume').boundingBox();
      const y = box.y + box.height / 2;
      const at = (f) => box.x + 22 + f * (box.width - 44);
      await touchDrag(page, { x: at(0.9), y }, { x: at(0.25), y });
      await waitFor(async () => Math.abs((await player.number('getvolume')) - 64) <= 6, 'volume near 25 %');
      const level = await player.number('getvolume');
      await waitFor(async () => Number(await page.locator('#volume').getAttribute('aria-valuenow')) === level, 'the slider');
      await page.locator('#mute').tap();
      await waitFor(async () => (await player.number('getvolume')) === 0, 'muted');
      await waitFor(async () => (await page.locator('#mute').getAttribute('aria-pressed')) === 'true', 'mute shown');
      await page.locator('#mute').tap();
      await waitFor(async () => (await player.number('getvolume')) === level, 'the level back');
    });

    it('toggles shuffle and repeat and shows their state', async () => {
      for (const [id, get] of [['shuffle', 'getshuffle'], ['repeat', 'getrepeat']]) {
        const before = await player.number(get);
        await page.locator('#' + id).tap();
        await waitFor(async () => (await player.number(get)) === 1 - before, id + ' toggled');
        await waitFor(async () => (await page.locator('#' + id).getAttribute('aria-pressed')) === String(!before), id + ' shown');
        await page.locator('#' + id).tap();
        await waitFor(async () => (await player.number(get)) === before, id + ' back');
      }
    });

    it('reorders by dragging a row by its handle', async () => {
      await setQueue();
      await waitRows(page, files.length);
      await showPane(page, 'queue');
      const handle = await rows(page).nth(0).locator('[data-role="handle"]').boundingBox();
      const height = (await rows(page).nth(0).boundingBox()).height;
      const from = centre(handle);
      await touchDrag(page, from, { x: from.x, y: from.y + 2 * height + 4 }, { steps: 10 });
      await waitFor(async () => (await player.files())[2] === files[0], 'the first entry third');
      assert.deepEqual(await player.files(), [files[1], files[2], files[0], ...files.slice(3)]);
      await waitFor(async () => (await rows(page).nth(2).textContent()).includes('01 Morning'), 'the page follows');
    });

    it('removes a row swiped aside and a row by its button', async () => {
      await setQueue();
      await waitRows(page, files.length);
      const row = await rows(page).nth(1).boundingBox();
      const y = row.y + row.height / 2;
      await touchDrag(page, { x: row.x + row.width * 0.55, y }, { x: row.x + row.width * 0.05, y });
      await waitFor(async () => (await player.number('getplaylistlength')) === files.length - 1, 'one fewer');
      assert.deepEqual(await player.files(), [files[0], ...files.slice(2)]);
      await waitRows(page, files.length - 1);
      // A vertical movement scrolls and removes nothing.
      const next = await rows(page).nth(1).boundingBox();
      await touchDrag(page, { x: next.x + next.width / 2, y: next.y + 10 }, { x: next.x + next.width / 2 + 8, y: next.y + 80 });
      await rows(page).nth(0).locator('[data-role="remove"]').tap();
      await waitFor(async () => (await player.number('getplaylistlength')) === files.length - 2, 'two fewer');
      assert.deepEqual(await player.files(), files.slice(2));
      // Undo puts the entry back where it was.
      await page.locator('#toast-action').tap();
      await waitFor(async () => (await player.files())[0] === files[0], 'undone');
      assert.deepEqual(await player.files(), [files[0], ...files.slice(2)]);
    });

    it('moves an entry to play next, after the playing one', async () => {
      await setQueue();
      await playAt(1);
      await waitRows(page, files.length);
      await waitMarked(page, 1);
      await showPane(page, 'queue');
      // One below: moved up to just after it.
      await rows(page).nth(4).locator('[data-role="next"]').tap();
      await waitFor(async () => (await player.files())[2] === files[4], 'entry 4 next');
      assert.deepEqual(await player.files(), [files[0], files[1], files[4], files[2], files[3], files[5]]);
      // One above: the playing entry moves up by one, the moved one lands after it.
      await waitFor(async () => (await rows(page).nth(2).textContent()).includes('Beta Song'), 'page follows');
      await rows(page).nth(0).locator('[data-role="next"]').tap();
      await waitFor(async () => (await player.files())[0] === files[1], 'entry 0 after the playing one');
      assert.deepEqual(await player.files(), [files[1], files[0], files[4], files[2], files[3], files[5]]);
      assert.equal(await position(), 0, 'the same entry plays');
    });

    it('clears only when confirmed, and undo brings every entry back with its title', async () => {
      const titles = files.map((f, i) => `Title ${i} — ${f.split('/').pop()}`);
      await setQueue(files, titles);
      await playAt(2);
      await waitRows(page, files.length);
      await waitMarked(page, 2);
      await showPane(page, 'queue');
      await page.locator('#clear').tap();
      await page.locator('#confirm').getByRole('button', { name: 'Cancel' }).tap();
      assert.equal(await player.number('getplaylistlength'), files.length, 'cancel keeps the queue');
      await page.locator('#clear').tap();
      await page.locator('#confirm-ok').tap();
      await waitFor(async () => (await player.number('getplaylistlength')) === 0, 'cleared');
      await waitFor(() => page.locator('#queue-empty').isVisible(), 'the page shows an empty queue');
      await page.locator('#toast-action').tap();
      await waitFor(async () => (await player.number('getplaylistlength')) === files.length, 'restored');
      assert.deepEqual(await player.titles(), titles);
      assert.deepEqual(await player.files(), files);
      // Selected after the entries are back.
      await waitFor(async () => (await position()) === 2, 'the playing entry selected again');
    });

    it('browses folders with a breadcrumb, sorts, and shows dates and sizes', async () => {
      await showPane(page, 'library');
      await page.locator('#crumbs .crumb').first().tap();
      await page.locator('#library-list button[data-role="open"]').first().tap();
      await page.getByRole('button', { name: 'Open folder Alpha Band' }).tap();
      await page.getByRole('button', { name: 'Open folder First Album' }).tap();
      await waitFor(async () => (await page.locator('#crumbs .crumb').count()) === 4, 'four crumbs');
      assert.deepEqual((await page.locator('#crumbs .crumb').allTextContents()).slice(2), ['Alpha Band', 'First Album']);
      await page.locator('#sort-by').selectOption('2');
      if ((await page.locator('#sort-dir').getAttribute('aria-pressed')) === 'true') await page.locator('#sort-dir').tap();
      const names = () => page.locator('#library-list .name').allTextContents();
      await waitFor(async () => (await names()).join() === '03 Evening.mp3,02 Noon.mp3,01 Morning.mp3', 'by size');
      await page.locator('#sort-dir').tap();
      await waitFor(async () => (await names()).join() === '01 Morning.mp3,02 Noon.mp3,03 Evening.mp3', 'by size, descending');
      const meta = await page.locator('#library-list .meta').first().textContent();
      assert.match(meta, /\d.*·\s*\d+(\.\d)?\sKB$/);
      await page.locator('#crumbs .crumb', { hasText: 'Alpha Band' }).tap();
      await waitFor(async () => (await names()).join() === 'First Album', 'back up one folder');
      await page.locator('#sort-by').selectOption('0');
      await page.getByRole('button', { name: 'Open folder First Album' }).tap();
      await waitFor(async () => (await names()).length === 3, 'the album again');
    });

    it('plays now, plays next and adds from the library, keeping the queue', async () => {
      await setQueue([files[3], files[4], files[5]]);
      await playAt(1);
      await waitRows(page, 3);
      await waitMarked(page, 1);
      await showPane(page, 'library');
      const row = (name) => page.locator('#library-list > li', { hasText: name });
      await row('02 Noon.mp3').locator('[data-role="now"]').tap();
      await waitFor(async () => (await position()) === 2 && (await player.number('getplaylistlength')) === 4, 'inserted and playing');
      assert.deepEqual(await player.files(), [files[3], files[4], files[1], files[5]]);
      assert.equal((await status()).state, 'playing');
      await row('03 Evening.mp3').locator('[data-role="next"]').tap();
      await waitFor(async () => (await player.number('getplaylistlength')) === 5, 'play next');
      assert.deepEqual(await player.files(), [files[3], files[4], files[1], files[2], files[5]]);
      assert.equal(await position(), 2, 'still playing the same');
      await row('01 Morning.mp3').locator('[data-role="add"]').tap();
      await waitFor(async () => (await player.number('getplaylistlength')) === 6, 'added');
      assert.equal((await player.files())[5], files[0]);
      assert.equal(await position(), 2);
    });

    it('searches as the user types, the last word as a prefix, and for folders only', async () => {
      await showPane(page, 'library');
      const before = page.requests.filter((r) => r === 'browse.json' || r === 'library.js').length;
      await page.locator('#search').pressSequentially('even', { delay: 40 });
      const names = () => page.locator('#library-list .name').allTextContents();
      await waitFor(async () => (await names()).join() === '03 Evening.mp3', 'the prefix found');
      assert.equal(await page.locator('#library-note').textContent(), '1 result');
      const sent = page.requests.filter((r) => r === 'browse.json' || r === 'library.js').length - before;
      assert.ok(sent < 4, `typing four letters sent ${sent} searches`);
      await page.locator('#search').fill('');
      await page.locator('#search').pressSequentially('alp', { delay: 40 });
      await page.locator('#folders-only').tap();
      await waitFor(async () => (await page.locator('#library-list > li.file').count()) === 0 &&
        (await names()).includes('Alpha Band'), 'folders only');
      await page.locator('#folders-only').tap();
      await page.locator('#search').fill('');
      await waitFor(async () => (await names()).length === 3, 'the folder back when the search is emptied');
    });

    it('shows the folder cover and the embedded picture, and a placeholder without either', async () => {
      await setQueue();
      await showPane(page, 'now');
      for (const [index, side] of [[0, FOLDER_COVER], [3, EMBEDDED_COVER], [5, 0]]) {
        await playAt(index);
        if (side) {
          await waitFor(async () => (await page.locator('#cover').isVisible()) &&
            (await page.$eval('#cover', (img) => img.complete && img.naturalWidth)) === side, `cover ${side} px`);
        } else {
          await waitFor(() => page.locator('#cover-placeholder').isVisible(), 'the placeholder');
          assert.equal(await page.locator('#cover').isVisible(), false);
        }
      }
    });
  });

  it('works from the keyboard alone', async () => {
    await setQueue();
    await playAt(0);
    const page = await open(SIZES[3]);
    await waitRows(page, files.length);
    await waitMarked(page, 0);
    await player.post('setvolume', { level: 100 });
    await waitFor(async () => (await page.locator('#volume').getAttribute('aria-valuenow')) === '100', 'the volume shown');
    await page.locator('#volume').focus();
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    await waitFor(async () => (await player.number('getvolume')) === 116, 'two steps up');
    await page.keyboard.press('Home');
    await waitFor(async () => (await player.number('getvolume')) === 0, 'all the way down');
    await page.locator('#seek').focus();
    await page.keyboard.press('End');
    // The end of the track: the player goes on to the next entry.
    await waitFor(async () => (await position()) === 1 && (await status()).state === 'playing', 'the next entry after the end');
    // Move the third entry up with its handle's arrow key, then play the first with Enter.
    await playAt(0);
    await rows(page).nth(2).locator('[data-role="handle"]').focus();
    await page.keyboard.press('ArrowUp');
    await waitFor(async () => (await player.files())[1] === files[2], 'moved up');
    assert.equal(await page.evaluate(() => document.activeElement.closest('li').dataset.index), '1', 'the handle keeps focus');
    await rows(page).nth(3).locator('[data-role="play"]').focus();
    await page.keyboard.press('Enter');
    await waitFor(async () => (await position()) === 3, 'entry 3 plays');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.role), 'next', 'Tab goes along the row');
    await page.close();
  });

  it('says the index is being built, and shows the results once the pass is done', async () => {
    // The listings say what the server would say during the first pass.
    let phase = 'missing';
    const page = await open(SIZES[0], '', (p) => p.route(/\/browse\.json(\?.*)?$/, async (route) => {
      const response = await route.fetch();
      const body = await response.json();
      if (phase === 'missing') {
        Object.assign(body, { indexing: true, indexMissing: true });
        if (body.search !== undefined) Object.assign(body, { entries: [], total: 0 });
      }
      await route.fulfill({ response, json: body });
    }));
    await showPane(page, 'library');
    const note = () => page.locator('#library-note').textContent();
    await waitFor(async () => (await note()) === 'indexing...', 'the folder with its note');
    await page.locator('#search').pressSequentially('even', { delay: 40 });
    await waitFor(async () => (await note()) === 'No results yet: the index is being built.', 'the search note');
    assert.equal(await page.locator('#library-list > li').count(), 0);
    await page.screenshot({ path: screenshotPath('remote-phone-360-index-being-built.png') });
    phase = 'done';
    // No touch: the page asks again by itself.
    await waitFor(async () => (await note()) === '1 result', 'the results after the pass');
    assert.deepEqual(await page.locator('#library-list .name').allTextContents(), ['03 Evening.mp3']);
    await page.close();
  });

  it('keeps a pushed change when an older status answer arrives after it', async () => {
    await setQueue();
    await playAt(0);
    await player.post('setvolume', { level: 40 });
    // Status answers are taken from the player at once and handed to the page
    // only when the test says so, as a slow network would.
    const held = [];
    let holding = true;
    const page = await open(SIZES[0], '?poll=0', (p) => p.route(/\/status\.json(\?.*)?$/, async (route) => {
      const response = await route.fetch();
      if (holding) held.push(() => route.fulfill({ response }));
      else await route.fulfill({ response });
    }));
    const volumeShown = async (level) => (await page.locator('#volume').getAttribute('aria-valuenow')) === level;
    await waitFor(() => volumeShown('40'), 'the streamed volume');
    await waitFor(() => held.length > 0, 'a held status answer');
    await player.post('setvolume', { level: 120 });
    await waitFor(() => volumeShown('120'), 'the streamed change');
    holding = false;
    for (const release of held.splice(0)) await release();
    await waitFor(() => page.evaluate(() => !Remote.app.live.statusRun), 'the status fetches done');
    assert.equal(await page.locator('#volume').getAttribute('aria-valuenow'), '120', 'the older answer is not shown');
    await page.close();
  });

  it('keeps two pages in step within a second with polling off', async () => {
    await setQueue();
    await playAt(0);
    const a = await open(SIZES[0], '?poll=0');
    const b = await open(SIZES[3], '?poll=0');
    await waitRows(a, files.length);
    await waitRows(b, files.length);
    // Within a second of the command's answer. (Polled with evaluate: the
    // page's policy forbids the string evaluation waitForFunction uses.)
    const seen = async (page, fn, arg) => {
      const deadline = Date.now() + 1000;
      while (!(await page.evaluate(fn, arg))) {
        if (Date.now() > deadline) throw new Error(`not shown within a second: ${fn}`);
        await new Promise((r) => setTimeout(r, 20));
      }
    };
    const polls = () => b.requests.filter((r) => r === 'status.json' || r === 'consolestatus.xml').length;
    const pollsBefore = polls();

    // A change made in one page.
    await showPane(a, 'now');
    await a.locator('#next').tap();
    await waitFor(async () => (await position()) === 1, 'next');
    await seen(b, () => document.querySelector('#queue-list > li[aria-current]')?.dataset.index === '1');
    await seen(b, () => document.getElementById('title').textContent === 'Noon');

    // One made with a plain command.
    await player.post('setvolume', { level: 77 });
    await seen(b, () => document.getElementById('volume').getAttribute('aria-valuenow') === '77');
    await seen(a, () => document.getElementById('volume').getAttribute('aria-valuenow') === '77');
    await player.post('deleteplaylistitem', { index: 5 });
    await seen(b, (n) => document.querySelectorAll('#queue-list > li').length === n, files.length - 1);
    await player.post('toggleshuffle');
    await seen(b, () => document.getElementById('shuffle').getAttribute('aria-pressed') === 'true');
    await player.post('toggleshuffle');
    assert.ok(polls() - pollsBefore <= 2, 'the second page did not poll');
    await a.close();
    await b.close();
  });

  describe('the classic root page', () => {
    it('links to the touch remote at its top on a phone, and not on a desktop', async () => {
      const phone = await (await context(SIZES[1])).newPage();
      await phone.goto(player.url);
      const links = phone.locator('a.remoteLink');
      assert.equal(await links.count(), 1);
      assert.ok(await links.isVisible());
      assert.equal(await links.getAttribute('href'), 'remote');
      const box = await links.boundingBox();
      assert.ok(box.y <= 1, 'at the top');
      const win = await phone.locator('#console').boundingBox();
      assert.ok(win.y >= box.y + box.height, 'above the console');
      await phone.screenshot({ path: screenshotPath('root-page-phone.png') });
      await links.tap();
      await phone.waitForURL(/\/remote$/);
      await phone.close();

      const desktop = await (await context(SIZES[3])).newPage();
      await desktop.goto(player.url);
      assert.equal(await desktop.locator('a.remoteLink').isVisible(), false);
      const console = await desktop.locator('#console').boundingBox();
      assert.equal(console.y, 10, 'the console where it always was');
      await desktop.close();
    });

    it('draws accented capitals inside the console text box, on the old baseline', async () => {
      const page = await (await context(SIZES[3])).newPage();
      await page.goto(player.url);
      await waitFor(async () => (await page.textContent('#cArtist')).length > 8, 'the console text');
      const m = await page.evaluate(() => {
        const el = document.getElementById('cArtist');
        el.textContent = 'Artist: BÉLA KOVÁCS ÅÊÎ';
        const probe = document.createElement('span');
        probe.style.setProperty('display', 'inline-block');
        probe.style.setProperty('height', '0');
        el.appendChild(probe);
        const style = getComputedStyle(el);
        const ctx = document.createElement('canvas').getContext('2d');
        ctx.font = `${style.fontSize} ${style.fontFamily}`;
        const glyphs = ctx.measureText('ÉÁÅÊÎ');
        const boxTop = el.getBoundingClientRect().top;
        const baseline = probe.getBoundingClientRect().top - boxTop;
        return { baselineInPage: probe.getBoundingClientRect().top - el.parentElement.getBoundingClientRect().top,
          room: baseline - glyphs.actualBoundingBoxAscent, below: el.clientHeight - baseline - glyphs.actualBoundingBoxDescent };
      });
      assert.ok(m.room >= 0, `the accents stick out ${-m.room} px above the box`);
      assert.ok(m.below >= 0, 'the letters fit below');
      await page.close();
      // The baseline stays where the 12 px line put it: top 34 px plus that line's baseline.
      const old = await (await context(SIZES[3])).newPage();
      await old.goto(player.url);
      const was = await old.evaluate(() => {
        const el = document.getElementById('cArtist');
        el.style.setProperty('line-height', '12px');
        el.style.setProperty('margin-top', '0');
        const probe = document.createElement('span');
        probe.style.setProperty('display', 'inline-block');
        probe.style.setProperty('height', '0');
        el.appendChild(probe);
        return probe.getBoundingClientRect().top - el.parentElement.getBoundingClientRect().top;
      });
      assert.ok(Math.abs(m.baselineInPage - was) < 0.5, `baseline at ${m.baselineInPage} px, was ${was} px`);
      await old.close();
    });
  });
});
