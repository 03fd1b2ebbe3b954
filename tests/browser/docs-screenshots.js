// Takes the README's screenshots: the player with the plugin and a small
// generated library, the two pages in headless Chromium.
//
//   cd tests/browser && LYREBOX_BUILD_DIR=../../build node docs-screenshots.js [OUT_DIR]
//
// OUT_DIR defaults to docs/images. Not a test: nothing is checked.
'use strict';

const path = require('node:path');
const fs = require('node:fs');
const { makeLibrary, Player, launchBrowser, openPage, waitFor } = require('./lib/harness');

async function main() {
  const out = path.resolve(process.argv[2] || path.join(__dirname, '..', '..', 'docs', 'images'));
  fs.mkdirSync(out, { recursive: true });
  const library = makeLibrary('docs');
  const player = await Player.start({ sharedDirs: [library], media: [library] });
  const browser = await launchBrowser();
  try {
    await player.get('setvolume', { level: 180 });
    await player.get('setplaylistpos', { index: 1 });
    await player.get('play');

    const page = await openPage(browser.context, player.url);
    await waitFor(async () => (await page.locator('.plTable tr').count()) > 0, 'the play list');
    await waitFor(async () => (await page.textContent('#cTitle')).includes('('), 'the console');
    await page.locator('#medialibrary .mlLink', { hasText: library }).click();
    await waitFor(async () => (await page.locator('#medialibrary tr.mlRow').count()) > 1, 'the folder');
    await page.locator('#medialibrary tr.mlRow', { hasText: 'Alpha Band' }).first().locator('.mlLink').first().click();
    await waitFor(async () => (await page.locator('#medialibrary tr.mlRow', { hasText: 'First Album' }).count()) > 0,
      'the sub-folder');
    await page.waitForTimeout(1500);  // one more console poll, so the position bar moves
    await page.screenshot({ path: path.join(out, 'web-app.png') });
    await page.close();

    const lib = await openPage(browser.context, player.url + 'library');
    await lib.waitForLoadState('networkidle');
    await lib.locator('.mlLink', { hasText: library }).first().click();
    await lib.waitForLoadState('networkidle');
    await lib.waitForTimeout(500);
    await lib.screenshot({ path: path.join(out, 'library-page.png') });
    await lib.close();
  } finally {
    await browser.close();
    await player.stop();
  }
  console.log(`screenshots in ${out}`);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
