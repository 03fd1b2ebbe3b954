// The media-library window: listing, sorting, folders, play and enqueue,
// drag into the play list, search, and the library of a second server.
'use strict';

const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { makeLibrary, Player, launchBrowser, openPage, waitFor } = require('./lib/harness');

describe('media library', () => {
  let library, player, browser;

  before(async () => {
    library = makeLibrary();
    player = await Player.start({ sharedDirs: [library] });
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (player) await player.stop();
  });

  beforeEach(async () => {
    await player.get('clearplaylist');
  });

  const names = (page) => page.$$eval('#medialibrary .mlName', (tds) => tds.map((td) => td.textContent));
  const row = (page, name) => page.locator('#medialibrary tr.mlRow', { hasText: name }).first();

  async function listed(page, expected, what) {
    await waitFor(async () => JSON.stringify(await names(page)) === JSON.stringify(expected), what);
  }

  async function openLibrary(server = player) {
    const page = await openPage(browser.context, server.url);
    await listed(page, [library], 'the root listing');
    return page;
  }

  async function openFolder(page, name, expected) {
    await row(page, name).locator('.mlLink').click();
    await listed(page, expected, `folder ${name}`);
  }

  it('lists the shared folder and opens folders and goes up with "/"', async () => {
    const page = await openLibrary();
    await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    const opened = page.sent('library.js').at(-1).params.path;
    assert.equal(opened, library + '/');
    await openFolder(page, 'Alpha Band', ['..', 'First Album']);
    await openFolder(page, 'First Album', ['..', '01 Morning.mp3', '02 Noon.mp3', '03 Evening.mp3']);
    assert.equal(page.sent('library.js').at(-1).params.path, library + '/Alpha Band/First Album/');
    const icons = await page.$$eval('#medialibrary tr.mlRow', (trs) => trs.map((tr) => tr.querySelectorAll('img')[2].getAttribute('src')));
    assert.deepEqual(icons, ['folder_up.gif', 'mp3.gif', 'mp3.gif', 'mp3.gif']);
    await openFolder(page, '..', ['..', 'First Album']);
    assert.equal(page.sent('library.js').at(-1).params.path, library + '/Alpha Band/');
    await openFolder(page, '..', ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    // Above the shared folder the server answers with the root listing.
    await openFolder(page, '..', [library]);
    // The place is kept for the next visit.
    await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    await page.reload();
    await listed(page, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3'], 'the folder after a reload');
    await page.close();
  });

  it('sorts by each header, reversing on a second click', async () => {
    const page = await openLibrary();
    await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    await openFolder(page, 'Beta Trio', ['..', 'Beta Song.mp3', 'Café Ümlaut.mp3']);
    const header = (label) => page.locator('#medialibrary td.mlHead', { hasText: label });
    const sortIcon = (label) => header(label).locator('img').getAttribute('src');
    assert.equal(await sortIcon('Name'), 'asc.gif');

    await header('Name').click();
    await listed(page, ['..', 'Café Ümlaut.mp3', 'Beta Song.mp3'], 'names descending');
    assert.equal(await sortIcon('Name'), 'desc.gif');

    await header('Size').click();
    await listed(page, ['..', 'Café Ümlaut.mp3', 'Beta Song.mp3'], 'smallest first');
    assert.equal(await sortIcon('Size'), 'asc.gif');
    await header('Size').click();
    await listed(page, ['..', 'Beta Song.mp3', 'Café Ümlaut.mp3'], 'largest first');
    assert.equal(await sortIcon('Size'), 'desc.gif');

    await header('Date').click();
    await waitFor(() => page.sent('library.js').at(-1).params.sortby === '1', 'sort by date');
    assert.equal(page.sent('library.js').at(-1).params.sortdir, '0');
    await waitFor(async () => (await sortIcon('Date')) === 'asc.gif', 'the date arrow');
    await page.close();
  });

  it('plays and enqueues files and folders', async () => {
    const page = await openLibrary();
    await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);

    await row(page, 'Zebra Loose.mp3').locator('img[data-action=play]').click();
    await waitFor(async () => (await player.number('getplaylistlength')) === 1, 'one entry');
    assert.equal(await player.text('getplaylistfilename', { index: 0 }), path.join(library, 'Zebra Loose.mp3'));
    await waitFor(async () => (await page.locator('.plTable tr').count()) === 1, 'the play list shows it');

    await openFolder(page, 'Alpha Band', ['..', 'First Album']);
    await row(page, 'First Album').locator('img[data-action=enqueue]').click();
    await waitFor(async () => (await player.number('getplaylistlength')) === 4, 'the folder enqueued');

    await openFolder(page, '..', ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    await openFolder(page, 'Beta Trio', ['..', 'Beta Song.mp3', 'Café Ümlaut.mp3']);
    // A file's name enqueues it; so does its enqueue icon.
    await row(page, 'Café Ümlaut.mp3').locator('.mlLink').click();
    await waitFor(async () => (await player.number('getplaylistlength')) === 5, 'the file enqueued');
    assert.equal(await player.text('getplaylistfilename', { index: 4 }), path.join(library, 'Beta Trio', 'Café Ümlaut.mp3'));
    await row(page, 'Beta Song.mp3').locator('img[data-action=enqueue]').click();
    await waitFor(async () => (await player.number('getplaylistlength')) === 6, 'the other file enqueued');

    // The parent row's icons act on the folder shown.
    await row(page, '..').locator('img[data-action=play]').click();
    await waitFor(async () => (await player.files()).join('|') ===
      [path.join(library, 'Beta Trio', 'Beta Song.mp3'), path.join(library, 'Beta Trio', 'Café Ümlaut.mp3')].join('|'),
    'the folder shown played');
    await page.close();
  });

  it('inserts a dragged file at the play-list row it is dropped on', async () => {
    await player.post('enqueuefile', { filename: path.join(library, 'Alpha Band', 'First Album'), title: 'a' });
    const page = await openLibrary();
    await waitFor(async () => (await page.locator('.plTable tr').count()) === 3, 'three rows');
    await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
    const source = await row(page, 'Zebra Loose.mp3').locator('.mlLink').boundingBox();
    const target = await page.locator('.plTable tr').nth(1).boundingBox();
    await page.mouse.move(source.x + 5, source.y + source.height / 2);
    await page.mouse.down();
    await page.mouse.move(target.x + 60, target.y + target.height / 2, { steps: 8 });
    assert.equal(await page.locator('.mlDrag').count(), 1);
    await page.mouse.up();
    assert.equal(await page.locator('.mlDrag').count(), 0);
    await waitFor(async () => (await player.number('getplaylistlength')) === 4, 'inserted');
    assert.equal(await player.text('getplaylistfilename', { index: 1 }), path.join(library, 'Zebra Loose.mp3'));
    assert.equal(page.sent('insertfile')[0].params.index, '1');
    assert.equal(await page.locator('.plTable tr').count(), 4);
    await page.close();
  });

  it('searches, also for folders only', async () => {
    const page = await openLibrary();
    await page.fill('.mlSearch input[name=query]', 'Alpha');
    await page.locator('.mlSearch input[type=image]').click();
    await waitFor(() => page.sent('library.js').at(-1).params.path === 'search://Alpha', 'a search');
    // "Alpha" names the folder "Alpha Band" only.
    await waitFor(async () => (await names(page)).join('|') === '..|Alpha Band', 'the result listing');
    await page.fill('.mlSearch input[name=query]', 'morning');
    await page.locator('.mlSearch input[type=image]').click();
    await waitFor(async () => (await names(page)).join('|') === '..|01 Morning.mp3', 'a file found by a word of its name');
    await page.fill('.mlSearch input[name=query]', 'album');
    await page.check('.mlSearch input[name=folders]');
    await page.locator('.mlSearch input[type=image]').click();
    await waitFor(() => page.sent('library.js').at(-1).params.path === 'searchf://album', 'a folder search');
    // "album" names the folder "First Album"; a folder search lists folders only.
    await waitFor(async () => (await names(page)).join('|') === '..|First Album', 'the folder result listing');
    const kinds = await page.$$eval('#medialibrary tr.mlRow img:nth-child(3)', (imgs) => imgs.map((i) => i.getAttribute('src')));
    assert.ok(kinds.slice(1).every((k) => k === 'folder.gif'), kinds.join());
    await page.close();
  });

  it('browses a second server and plays its files through stream addresses', async () => {
    const other = await Player.start({ sharedDirs: [library] });
    try {
      const page = await openLibrary();
      await page.fill('.mlConnect input[name=host]', other.host);
      await page.locator('.mlConnect input[type=image]').click();
      await waitFor(() => page.requests.some((r) => r.host === other.host && r.name === 'library.js'), 'a listing from the other server');
      await listed(page, [library], 'the other root listing');
      await openFolder(page, library, ['..', 'Alpha Band', 'Beta Trio', 'Zebra Loose.mp3']);
      await row(page, 'Zebra Loose.mp3').locator('img[data-action=play]').click();
      const sent = await waitFor(() => page.sent('playfile').at(-1), 'playfile');
      assert.equal(sent.host, player.host);
      assert.ok(sent.params.filename.startsWith(`http://${other.host}/stream?path=`), sent.params.filename);
      await waitFor(async () => (await player.number('getplaylistlength')) >= 1, 'a remote entry');
      assert.ok((await player.text('getplaylistfilename', { index: 0 })).startsWith(`http://${other.host}/`));
      // The connection is remembered for the next visit.
      await page.reload();
      await waitFor(() => page.requests.filter((r) => r.host === other.host && r.name === 'library.js').length >= 3,
        'the other server after a reload');
      await page.close();
    } finally {
      await other.stop();
    }
  });

  it('shows odd names as text and plays them byte for byte', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lyrebox-names-'));
    const track = path.join(library, 'Zebra Loose.mp3');
    const latin1 = Buffer.concat([Buffer.from(dir + '/'), Buffer.from('Caf\xe9.mp3', 'latin1')]);
    fs.copyFileSync(track, latin1);
    fs.copyFileSync(track, path.join(dir, "<img src=x onerror=document.title=1> 100% 'odd'.mp3"));
    const other = await Player.start({ sharedDirs: [dir] });
    try {
      const page = await openPage(browser.context, other.url);
      await listed(page, [dir], 'the root listing');
      await openFolder(page, dir, ['..', "<img src=x onerror=document.title=1> 100% 'odd'.mp3", 'Caf\u00e9.mp3']);
      assert.equal(await page.locator('#medialibrary .mlName img').count(), 0);
      await row(page, 'Caf\u00e9.mp3').locator('img[data-action=play]').click();
      await waitFor(async () => (await other.number('getplaylistlength')) === 1, 'the Latin-1 file played');
      assert.ok((await other.get('getplaylistfilename', { index: 0 })).body.equals(latin1));
      await row(page, "<img src=x onerror=document.title=1> 100% 'odd'.mp3").locator('img[data-action=enqueue]').click();
      await waitFor(async () => (await other.number('getplaylistlength')) === 2, 'the odd name enqueued');
      assert.equal(await other.text('getplaylistfilename', { index: 1 }), path.join(dir, "<img src=x onerror=document.title=1> 100% 'odd'.mp3"));
      assert.deepEqual(page.errors, []);
      assert.equal(await page.title(), 'Lyrebox v3.0.2');
      await page.close();
    } finally {
      await other.stop();
      fs.rmSync(dir, { recursive: true, force: true });
    }
  });
});
