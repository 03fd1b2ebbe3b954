// The console: track texts, transport buttons and keys, sliders, mute,
// shuffle and repeat, against the player with a tagged library.
'use strict';

const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { TRACKS, makeLibrary, Player, launchBrowser, openPage, waitFor } = require('./lib/harness');

describe('console', () => {
  let library, player, browser;

  before(async () => {
    library = makeLibrary();
    player = await Player.start({ sharedDirs: [library], media: [path.join(library, 'Alpha Band', 'First Album')] });
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (player) await player.stop();
  });

  // Clicks the console picture where the image map puts a button.
  const press = (page, x, y) => page.locator('.consoleImage').click({ position: { x, y } });
  // Synchronous commands are refused while the console's previous request is
  // unfinished, so a test lets each answer arrive before the next action.
  const idle = (page) => waitFor(() => page.evaluate(() => !document.console.client.busy), 'the console client idle');

  it('shows artist, title with length, album and bit rate of the playing track', async () => {
    await player.post('setplaylistpos', { index: 0 });
    await player.post('play');
    const page = await openPage(browser.context, player.url);
    const t = TRACKS[0];
    await waitFor(async () => (await page.textContent('#cTitle')).startsWith('Title: ' + t.title.toUpperCase() + ' ('),
      'the title line');
    assert.equal(await page.textContent('#cArtist'), 'Artist: ' + t.artist.toUpperCase());
    assert.equal(await page.textContent('#cAlbum'), 'Album: ' + t.album.toUpperCase());
    assert.match(await page.textContent('#cTitle'), /\(0:(29|30)\)$/);
    assert.match(await page.textContent('#cBitrate'), /^kbps: 12[0-9]$/);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  it('ends a poll whose answer is not a document and polls again', async () => {
    const page = await openPage(browser.context);
    let answers = 0;
    await page.route('**/consolestatus.xml*', (route) => {
      answers++;
      return answers === 1 ? route.fulfill({ status: 200, contentType: 'text/xml', body: '' }) : route.continue();
    });
    await page.goto(player.url);
    await waitFor(async () => (await page.textContent('#cTitle')).startsWith('Title: '), 'the next poll', 15000);
    assert.ok(answers >= 2);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  it('drives the transport from the buttons and the keys', async () => {
    const page = await openPage(browser.context, player.url);
    await page.waitForSelector('.plTable tr');
    await player.post('setplaylistpos', { index: 0 });

    await press(page, 138, 124);                       // Next Track
    await waitFor(async () => (await player.number('getplaylistpos')) === 1, 'next');
    await idle(page);
    await waitFor(async () => page.locator('.plTable tr').nth(1).locator('td.plChoicePlaying').count(), 'playing mark on row 2');
    await press(page, 19, 124);                        // Previous Track
    await waitFor(async () => (await player.number('getplaylistpos')) === 0, 'previous');
    await idle(page);

    await page.keyboard.press('b');
    await waitFor(async () => (await player.number('getplaylistpos')) === 1, 'key b');
    await idle(page);
    await page.keyboard.press('z');
    await waitFor(async () => (await player.number('getplaylistpos')) === 0, 'key z');
    await idle(page);

    for (const [x, y, name] of [[48, 125, 'play'], [78, 125, 'pause'], [108, 125, 'stop']]) {
      const before = page.sent(name).length;
      await press(page, x, y);
      await waitFor(() => page.sent(name).length > before, `button ${name}`);
      await idle(page);
    }
    for (const [key, name] of [['x', 'play'], ['c', 'pause'], ['v', 'stop']]) {
      const before = page.sent(name).length;
      await page.keyboard.press(key);
      await waitFor(() => page.sent(name).length > before, `key ${key}`);
      await idle(page);
      assert.equal(page.sent(name).at(-1).method, 'POST');
    }
    // After stop the player is at the start of the track.
    await waitFor(async () => (await player.number('getposition')) === 0, 'stopped at the start');
    await page.close();
  });

  it('sets the volume with the slider and mutes and unmutes', async () => {
    await player.post('setvolume', { level: 128 });
    const page = await openPage(browser.context, player.url);
    await waitFor(() => page.sent('consolestatus.xml').length > 0, 'a console poll');
    const handle = page.locator('.slider').nth(1).locator('.sliderHandle');
    await waitFor(async () => {
      const left = parseInt(await handle.evaluate((h) => h.style.left), 10);
      return left === Math.round(75 * 128 / 255);
    }, 'the volume handle at the player volume');

    // Drag the handle to the right end of its travel: 255.
    const box = await handle.boundingBox();
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width / 2 + 100, box.y + box.height / 2, { steps: 5 });
    await page.mouse.up();
    await waitFor(async () => (await player.number('getvolume')) === 255, 'volume 255');
    await idle(page);

    await press(page, 171, 129);                       // Toggle Mute
    await waitFor(async () => (await player.number('getvolume')) === 0, 'muted');
    await idle(page);
    assert.equal(await handle.evaluate((h) => h.style.left), '0px');
    await press(page, 171, 129);
    await waitFor(async () => (await player.number('getvolume')) === 255, 'unmuted');
    await page.close();
  });

  it('seeks when the seek slider is released', async () => {
    await player.post('setplaylistpos', { index: 0 });
    await player.post('play');
    await player.post('pause');
    const page = await openPage(browser.context, player.url);
    await waitFor(() => page.sent('consolestatus.xml').length > 0, 'a console poll');
    const slider = page.locator('.slider').nth(0);
    const box = await slider.boundingBox();
    // A press on the handle's track half-way along jumps the handle there, the release seeks.
    await page.mouse.move(box.x + 10 + 110, box.y + 8);
    await page.mouse.down();
    await page.mouse.up();
    const sent = await waitFor(() => page.sent('setposition').at(-1), 'setposition');
    const fraction = Number(sent.params.pos);
    assert.ok(fraction > 0.4 && fraction < 0.6, `fraction ${fraction}`);
    await waitFor(async () => Math.abs((await player.number('getposition')) - fraction) < 0.05, 'the player seeked');
    await page.close();
  });

  it('toggles shuffle and repeat with their lights', async () => {
    const page = await openPage(browser.context, player.url);
    await waitFor(() => page.sent('consolestatus.xml').length > 0, 'a console poll');
    const shuffle = await player.number('getshuffle');
    const repeat = await player.number('getrepeat');
    await press(page, 324, 71);
    await press(page, 323, 47);
    await waitFor(async () => (await player.number('getshuffle')) === 1 - shuffle, 'shuffle toggled');
    await waitFor(async () => (await player.number('getrepeat')) === 1 - repeat, 'repeat toggled');
    const light = (id) => page.$eval(id, (el) => el.style.visibility);
    assert.equal(await light('#cShuffle'), shuffle ? 'hidden' : 'visible');
    assert.equal(await light('#cRepeat'), repeat ? 'hidden' : 'visible');
    await page.close();
  });

  it('skips with the arrow keys and seeks on release', async () => {
    await player.post('setplaylistpos', { index: 0 });
    await player.post('play');
    const page = await openPage(browser.context, player.url);
    await waitFor(async () => (await page.textContent('#cTitle')).includes('('), 'a console poll');
    await page.keyboard.down('ArrowRight');
    await waitFor(() => page.sent('ffw5s').length > 0, 'ffw5s');
    await idle(page);
    await page.keyboard.up('ArrowRight');
    await waitFor(() => page.sent('setposition').length > 0, 'setposition on release');
    await idle(page);
    await page.keyboard.down('ArrowLeft');
    await waitFor(() => page.sent('rew5s').length > 0, 'rew5s');
    await page.keyboard.up('ArrowLeft');
    await page.close();
  });
});
