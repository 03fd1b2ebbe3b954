// The play-list window: the player's list, the playing mark, reordering by
// drag, Delete, double-click, Enter, the arrows and the clear button.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { makeLibrary, Player, launchBrowser, openPage, waitFor } = require('./lib/harness');

describe('play list', () => {
  let library, player, browser;
  const album = () => path.join(library, 'Alpha Band', 'First Album');

  before(async () => {
    library = makeLibrary();
    player = await Player.start({ sharedDirs: [library] });
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (player) await player.stop();
  });

  // The player's list: the album's three tracks, then the single at the top.
  beforeEach(async () => {
    await player.get('clearplaylist');
    assert.equal((await player.post('enqueuefile', { filename: album(), title: 'album' })).text, '1');
    assert.equal((await player.post('enqueuefile', { filename: path.join(library, 'Zebra Loose.mp3'), title: 'Zebra' })).text, '1');
    await player.post('setplaylistpos', { index: 1 });
  });

  const rows = (page) => page.locator('.plTable tr');
  const rowTitles = (page) => page.$$eval('.plTable tr', (trs) => trs.map((tr) => tr.cells[1].textContent));

  async function openList() {
    const page = await openPage(browser.context, player.url);
    await waitFor(async () => (await rows(page).count()) === 4, 'four rows');
    return page;
  }

  it('shows the player list with numbers and marks the playing entry', async () => {
    const page = await openList();
    assert.deepEqual(await rowTitles(page), await player.titles());
    assert.deepEqual(await page.$$eval('.plTable tr td:first-child', (tds) => tds.map((td) => td.textContent)),
      ['1', '2', '3', '4']);
    await waitFor(async () => (await rows(page).nth(1).getAttribute('class')) !== null &&
      (await rows(page).nth(1).locator('td.plChoicePlaying').count()) === 2, 'playing mark on row 2');
    assert.equal(await page.locator('td.plChoicePlaying').count(), 2);
    // A later change of the player's list reaches the page with the next poll.
    await player.post('deleteplaylistitem', { index: 3 });
    await waitFor(async () => (await rows(page).count()) === 3, 'the shorter list', 15000);
    await page.close();
  });

  it('reorders by drag and sends nothing for a drop on the same place', async () => {
    const page = await openList();
    const before = await player.titles();
    const from = await rows(page).nth(0).boundingBox();
    const to = await rows(page).nth(2).boundingBox();
    await page.mouse.move(from.x + 40, from.y + from.height / 2);
    await page.mouse.down();
    await page.mouse.move(to.x + 40, to.y + to.height / 2, { steps: 6 });
    await page.mouse.up();
    await waitFor(() => page.sent('moveplaylistitem').length === 1, 'the move');
    assert.deepEqual(page.sent('moveplaylistitem')[0].params, { from: '0', to: '2' });
    const expected = [before[1], before[2], before[0], before[3]];
    await waitFor(async () => JSON.stringify(await player.titles()) === JSON.stringify(expected), 'the player order');
    assert.deepEqual(await rowTitles(page), expected);
    assert.equal(await rows(page).nth(2).getAttribute('class'), 'plChoiceSelected');

    const same = await rows(page).nth(3).boundingBox();
    await page.mouse.move(same.x + 40, same.y + same.height / 2);
    await page.mouse.down();
    await page.mouse.move(same.x + 60, same.y + same.height / 2, { steps: 3 });
    await page.mouse.up();
    await page.locator('.plTable tr').nth(3).click();
    assert.equal(page.sent('moveplaylistitem').length, 1);
    await page.close();
  });

  it('deletes the selected entry with Delete', async () => {
    const page = await openList();
    const before = await player.titles();
    await rows(page).nth(2).click();
    await page.keyboard.press('Delete');
    await waitFor(async () => (await rows(page).count()) === 3, 'the row removed');
    assert.deepEqual(await player.titles(), [before[0], before[1], before[3]]);
    // The row now at that place is selected.
    assert.equal(await rows(page).nth(2).getAttribute('class'), 'plChoiceSelected');
    assert.deepEqual(await rowTitles(page), [before[0], before[1], before[3]]);
    await page.close();
  });

  it('keeps the row when the server does not acknowledge the deletion', async () => {
    const page = await openList();
    await page.route('**/deleteplaylistitem', (route) => route.fulfill({ status: 200, contentType: 'text/html', body: '0' }));
    await rows(page).nth(1).click();
    await page.keyboard.press('Delete');
    await waitFor(() => page.sent('deleteplaylistitem').length === 1, 'the request');
    await waitFor(() => page.evaluate(() => !document.pl.client.busy), 'the answer');
    assert.equal(await rows(page).count(), 4);
    assert.equal(await player.number('getplaylistlength'), 4);
    await page.close();
  });

  it('ignores poll answers that are not documents', async () => {
    const page = await openPage(browser.context);
    let broken = 0;
    await page.route('**/playlist.xml*', (route) => {
      broken++;
      return broken <= 1 ? route.fulfill({ status: 200, contentType: 'text/xml', body: 'not xml' }) : route.continue();
    });
    await page.goto(player.url);
    // The next poll, 5 s later, draws the list.
    await waitFor(async () => (await rows(page).count()) === 4, 'the list after a broken answer', 15000);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  it('plays an entry on double-click and on Enter', async () => {
    const page = await openList();
    await rows(page).nth(3).dblclick();
    await waitFor(async () => (await player.number('getplaylistpos')) === 3, 'position 3');
    assert.equal(await rows(page).nth(3).locator('td.plChoicePlaying').count(), 2);
    await waitFor(() => page.sent('play').length > 0, 'play after setplaylistpos');
    // A command is refused while the client's previous one is unfinished.
    await waitFor(() => page.evaluate(() => !document.pl.client.busy), 'the client idle');

    await rows(page).nth(0).click();
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press('Enter');
    await waitFor(async () => (await player.number('getplaylistpos')) === 1, 'position 1 by Enter');
    await page.close();
  });

  it('clears the list with its button', async () => {
    const page = await openList();
    await page.locator('img.plClear').click();
    await waitFor(async () => (await rows(page).count()) === 0, 'an empty table');
    assert.equal(await player.number('getplaylistlength'), 0);
    assert.equal(page.sent('clearplaylist')[0].method, 'GET');
    await page.close();
  });
});
