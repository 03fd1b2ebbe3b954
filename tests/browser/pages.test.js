// Both pages: window places kept in cookies, hidden windows, the media
// library switch, the "library" page's download and stream links, and
// screenshots of both pages.
'use strict';

const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { makeLibrary, Player, launchBrowser, openPage, request, waitFor, screenshotPath } = require('./lib/harness');

describe('pages', () => {
  let library, player, browser;

  before(async () => {
    library = makeLibrary();
    player = await Player.start({ sharedDirs: [library], media: [library] });
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (player) await player.stop();
  });

  const box = (page, id) => page.$eval('#' + id, (el) => [el.style.left, el.style.top, el.style.width, el.style.height, el.style.display]);

  it('draws the three windows at their first-visit places', async () => {
    const page = await openPage(browser.context, player.url);
    assert.equal(await page.title(), 'Lyrebox v3.0.2');
    assert.deepEqual(await box(page, 'console'), ['10px', '10px', '354px', '161px', 'block']);
    assert.deepEqual(await box(page, 'playlist'), ['10px', '180px', '354px', '400px', 'block']);
    assert.deepEqual(await box(page, 'medialibrary'), ['374px', '10px', '550px', '570px', 'block']);
    await waitFor(async () => (await page.locator('.plTable tr').count()) > 0, 'the play list');
    await waitFor(async () => (await page.textContent('#cTitle')).includes('('), 'the console');
    await page.screenshot({ path: screenshotPath('root-page.png') });
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  it('keeps moved and resized windows across a reload', async () => {
    const page = await openPage(browser.context, player.url);
    const bar = await page.locator('#playlist .wTitleBar').boundingBox();
    await page.mouse.move(bar.x + 30, bar.y + 8);
    await page.mouse.down();
    await page.mouse.move(bar.x + 30 + 40, bar.y + 8 + 25, { steps: 4 });
    await page.mouse.up();
    const grip = await page.locator('#playlist .wResize').boundingBox();
    await page.mouse.move(grip.x + 10, grip.y + 12);
    await page.mouse.down();
    await page.mouse.move(grip.x + 10 - 400, grip.y + 12 - 60, { steps: 4 });
    await page.mouse.up();
    // Never narrower than 200 px.
    assert.deepEqual(await box(page, 'playlist'), ['50px', '205px', '200px', '340px', 'block']);
    const cookie = (await browser.context.cookies()).find((c) => c.name === 'w_params_playlist');
    assert.equal(decodeURIComponent(cookie.value), '50px 205px 200px 340px 2 inline');
    // Dragging past the page's left and top edges stops at them.
    const moved = await page.locator('#console .wTitleBar').boundingBox();
    await page.mouse.move(moved.x + 30, moved.y + 8);
    await page.mouse.down();
    await page.mouse.move(moved.x - 200, moved.y - 200, { steps: 4 });
    await page.mouse.up();
    assert.deepEqual((await box(page, 'console')).slice(0, 2), ['0px', '0px']);

    await page.reload();
    assert.deepEqual(await box(page, 'playlist'), ['50px', '205px', '200px', '340px', 'block']);
    assert.deepEqual((await box(page, 'console')).slice(0, 2), ['0px', '0px']);
    assert.equal(await page.$eval('#console', (el) => el.style.zIndex), '2');
    assert.equal(await page.$eval('#playlist', (el) => el.style.zIndex), '1');
    await page.close();
  });

  it('brings a pressed window to the front, which then gets the arrow keys', async () => {
    await browser.context.clearCookies();
    await browser.context.addCookies([{ name: 'w_params_medialibrary', value: encodeURIComponent('374px 10px 550px 100px 0 inline'), url: player.url }]);
    const page = await openPage(browser.context, player.url, { keepCookies: true });
    assert.deepEqual(await box(page, 'medialibrary'), ['374px', '10px', '550px', '100px', 'block']);
    await page.locator('#medialibrary .mlLink', { hasText: library }).click();
    await waitFor(async () => (await page.locator('#medialibrary tr.mlRow').count()) === 4, 'the folder');
    const level = (id) => page.$eval('#' + id, (el) => el.style.zIndex);
    assert.equal(await level('medialibrary'), '2');
    await page.locator('#playlist .wTitleBar').click();
    assert.deepEqual([await level('playlist'), await level('medialibrary')], ['2', '1']);
    await page.locator('#medialibrary .wTitleBar').click();
    assert.deepEqual([await level('playlist'), await level('medialibrary')], ['1', '2']);
    const scrolled = () => page.$eval('#medialibrary .wContent', (el) => el.scrollTop);
    await page.keyboard.press('ArrowDown');
    assert.equal(await scrolled(), 16);
    await page.keyboard.press('ArrowUp');
    assert.equal(await scrolled(), 0);
    await page.close();
  });

  it('starts a play list saved as hidden hidden, without polling until shown', async () => {
    await browser.context.clearCookies();
    await browser.context.addCookies([{ name: 'w_params_playlist', value: encodeURIComponent('10px 180px 354px 400px 1 none'), url: player.url }]);
    const watched = await openPage(browser.context, player.url, { keepCookies: true });
    assert.equal((await box(watched, 'playlist'))[4], 'none');
    // Two console polls (3 s apart) cover more than a play-list interval.
    await waitFor(() => watched.sent('consolestatus.xml').length >= 3, 'three console polls', 15000);
    assert.equal(watched.sent('playlist.xml').length, 0);
    await watched.locator('.consoleImage').click({ position: { x: 304, y: 99 } });   // Toggle Playlist
    assert.equal((await box(watched, 'playlist'))[4], 'block');
    await waitFor(() => watched.sent('playlist.xml').length > 0, 'a poll once shown');
    // The close box hides it again and the cookie says so.
    await watched.locator('#playlist .wClose').click();
    assert.equal((await box(watched, 'playlist'))[4], 'none');
    const cookie = (await browser.context.cookies()).find((c) => c.name === 'w_params_playlist');
    assert.match(decodeURIComponent(cookie.value), / none$/);
    await watched.close();
  });

  it('offers working download and stream links on the library page', async () => {
    const page = await openPage(browser.context, player.url + 'library');
    assert.equal(await page.title(), 'Lyrebox v3.0.2');
    assert.deepEqual(await box(page, 'aml'), ['10px', '10px', '800px', '600px', 'block']);
    assert.equal(await page.locator('.mlConnect').count(), 0);
    await page.locator('#aml .mlLink', { hasText: library }).click();
    await waitFor(async () => (await page.locator('#aml tr.mlRow').count()) === 4, 'the folder');
    assert.equal(await page.locator('#aml img[data-action=enqueue]').count(), 0);
    const fileRow = page.locator('#aml tr.mlRow', { hasText: 'Zebra Loose.mp3' });
    const download = await fileRow.locator('.mlName a').getAttribute('href');
    const stream = await fileRow.locator('.mlIcons a').getAttribute('href');
    assert.match(download, /\/download\?path=.*&auth=/);
    assert.match(stream, /\/stream\?path=.*&auth=/);
    const file = await fetchUrl(download);
    assert.equal(file.status, 200);
    assert.ok(file.body.equals(fs.readFileSync(path.join(library, 'Zebra Loose.mp3'))), 'the file bytes');
    const list = await fetchUrl(stream);
    assert.equal(list.status, 200);
    assert.match(list.text, /download\?path=/);
    // A folder row streams the folder from its play icon.
    const folderStream = await page.locator('#aml tr.mlRow', { hasText: 'Alpha Band' }).locator('.mlIcons a').getAttribute('href');
    const folderList = await fetchUrl(folderStream);
    assert.equal((folderList.text.match(/download\?path=/g) || []).length, 3);
    await page.screenshot({ path: screenshotPath('library-page.png') });
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  it('with the media library turned off, its button only hides the window', async () => {
    const off = await Player.start({ sharedDirs: [library], enableML: false });
    try {
      const page = await openPage(browser.context, off.url);
      const toggle = () => page.locator('.consoleImage').click({ position: { x: 329, y: 99 } });
      assert.equal((await box(page, 'medialibrary'))[4], 'block');
      await toggle();
      assert.equal((await box(page, 'medialibrary'))[4], 'none');
      await toggle();
      assert.equal((await box(page, 'medialibrary'))[4], 'none');
      await page.close();
    } finally {
      await off.stop();
    }
  });
});

function fetchUrl(url) {
  const u = new URL(url);
  return request(u.host, 'GET', u.pathname.substring(1) + u.search, {});
}
