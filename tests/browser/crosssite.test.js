// A hostile page of another origin (a second loopback address) tries to
// drive the player through an image, a form and a no-cors fetch, and to
// frame its page; none of it changes the player. The app's own pages, the
// "library" page and the connect form (the library of a second server,
// loaded as a script from another origin) keep working under their
// Content-Security-Policy.
'use strict';

const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const { makeLibrary, Player, launchBrowser, openPage, waitFor } = require('./lib/harness');

// Loopback only: the hostile site is 127.0.0.2, the player 127.0.0.1.
const HOSTILE_ADDRESS = '127.0.0.2';

function hostilePage(target, file) {
  const base = `http://${target}`;
  const enqueue = `${base}/enqueuefile`;
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><title>working</title></head><body>
<iframe name="sink" id="sink"></iframe>
<iframe id="framed" src="${base}/"></iframe>
<form id="forged" method="POST" action="${enqueue}" target="sink">
<input name="filename" value="${file}"><input name="title" value="forged form">
</form>
<script>
'use strict';
(async () => {
  const done = [];
  done.push(new Promise((resolve) => {
    const img = new Image();
    img.onload = img.onerror = resolve;
    img.src = '${base}/setvolume?level=7';
  }));
  done.push(new Promise((resolve) => {
    document.getElementById('sink').addEventListener('load', resolve, { once: true });
    document.getElementById('forged').submit();
  }));
  done.push(fetch('${base}/setvolume?level=9', { mode: 'no-cors' }).catch(() => {}));
  done.push(fetch('${base}/playfile', { method: 'POST', mode: 'no-cors',
    headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
    body: 'filename=' + encodeURIComponent(${JSON.stringify(file)}) + '&title=forged%20fetch' }).catch(() => {}));
  done.push(fetch('${base}/setshuffle?setting=on', { mode: 'no-cors', credentials: 'include' }).catch(() => {}));
  // The framed page loads (or is replaced by an error page) before the check.
  done.push(new Promise((resolve) => {
    document.getElementById('framed').addEventListener('load', resolve, { once: true });
    setTimeout(resolve, 10000);
  }));
  await Promise.all(done);
  document.title = 'done';
})();
</script></body></html>`;
}

function startHostileSite(html) {
  return new Promise((resolve, reject) => {
    const server = http.createServer((req, res) => {
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
      res.end(html());
    });
    server.on('error', reject);
    server.listen(0, HOSTILE_ADDRESS, () => resolve(server));
  });
}

describe('other sites', () => {
  let library, player, browser, hostile, track;

  before(async () => {
    library = makeLibrary();
    track = `${library}/Zebra Loose.mp3`;
    player = await Player.start({ sharedDirs: [library] });
    browser = await launchBrowser();
    hostile = await startHostileSite(() => hostilePage(player.host, track));
  });

  after(async () => {
    // The browser first: it may hold open connections to the hostile site
    // (preconnects with no request yet) that the site's close would wait
    // for until its header time-out.
    if (browser) await browser.close();
    if (hostile) {
      hostile.closeAllConnections();
      await new Promise((r) => hostile.close(r));
    }
    if (player) await player.stop();
  });

  it('cannot drive the player from a page of another origin', async () => {
    await player.get('clearplaylist');
    await player.get('setvolume', { level: 50 });
    await player.get('setshuffle', { setting: 'off' });
    const page = await openPage(browser.context, `http://${HOSTILE_ADDRESS}:${hostile.address().port}/`);
    await waitFor(async () => (await page.title()) === 'done', 'the hostile page to finish');
    // The player saw the requests (they were refused, not lost).
    for (const name of ['setvolume', 'enqueuefile', 'playfile', 'setshuffle'])
      assert.ok(page.sent(name).some((r) => r.host === player.host), `${name} was sent`);
    assert.equal(await player.number('getvolume'), 50);
    assert.equal(await player.number('getplaylistlength'), 0);
    assert.equal(await player.text('getshuffle'), '0');
    // Its page refuses to be framed by another site.
    const framed = page.frames().find((f) => f !== page.mainFrame() && f.name() !== 'sink');
    assert.ok(framed, 'the framed page');
    assert.equal(await framed.$('#console').catch(() => null), null, 'the player page did not render in the frame');
    await page.close();
  });

  it('keeps its own pages working under their policy', async () => {
    const page = await openPage(browser.context, player.url);
    const violations = [];
    page.on('console', (m) => { if (/Content Security Policy/i.test(m.text())) violations.push(m.text()); });
    await waitFor(async () => (await page.locator('.plTable tr').count()) >= 0 &&
      (await page.locator('#medialibrary .mlName').count()) > 0, 'the library listing');
    await waitFor(async () => (await page.textContent('#cTitle')) !== null, 'the console');
    // Commands from the page itself are served, GET and POST.
    assert.equal(await page.evaluate(() => fetch('setvolume?level=33').then((r) => r.text())), '1');
    assert.equal(await player.number('getvolume'), 33);
    assert.equal(await page.evaluate(() => fetch('setvolume', { method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' }, body: 'level=34' }).then((r) => r.text())), '1');
    assert.equal(await player.number('getvolume'), 34);
    assert.deepEqual(page.errors, []);
    assert.deepEqual(violations, []);
    await page.close();

    const libraryPage = await openPage(browser.context, player.url + 'library');
    await waitFor(async () => (await libraryPage.locator('#aml .mlName').count()) > 0, 'the library page listing');
    assert.deepEqual(libraryPage.errors, []);
    await libraryPage.close();
  });

  it('browses a second server through the connect form under the policy', async () => {
    await player.get('clearplaylist');
    const other = await Player.start({ sharedDirs: [library] });
    try {
      const page = await openPage(browser.context, player.url);
      const violations = [];
      page.on('console', (m) => { if (/Content Security Policy/i.test(m.text())) violations.push(m.text()); });
      await page.fill('.mlConnect input[name=host]', other.host);
      await page.locator('.mlConnect input[type=image]').click();
      await waitFor(() => page.requests.some((r) => r.host === other.host && r.name === 'library.js'),
        'a listing from the other server');
      await waitFor(async () => JSON.stringify(await page.$$eval('#medialibrary .mlName',
        (tds) => tds.map((td) => td.textContent))) === JSON.stringify([library]), 'the other root listing');
      await page.locator('#medialibrary tr.mlRow', { hasText: library }).first().locator('.mlLink').click();
      await waitFor(async () => (await page.$$eval('#medialibrary .mlName', (tds) => tds.map((td) => td.textContent)))
        .includes('Zebra Loose.mp3'), 'a folder of the other server');
      // Enqueueing a file of the other server goes to our own player.
      await page.locator('#medialibrary tr.mlRow', { hasText: 'Zebra Loose.mp3' }).first()
        .locator('img[data-action=enqueue]').click();
      await waitFor(async () => (await player.number('getplaylistlength')) >= 1, 'the remote entry');
      assert.ok((await player.text('getplaylistfilename', { index: 0 })).startsWith(`http://${other.host}/`));
      assert.deepEqual(page.errors, []);
      assert.deepEqual(violations, []);
      await page.close();
    } finally {
      await other.stop();
      await player.get('clearplaylist');
    }
  });
});
