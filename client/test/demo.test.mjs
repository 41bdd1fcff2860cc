// The demo page end to end: served by the service on its WebSocket port,
// opened in headless Chromium, it finds the virtual scanner, scans three
// pages into three thumbnails, reorders two by drag and drop, and exports a
// PDF that pdfinfo reads as three pages. A screenshot is kept as an artifact
// (DEMO_SCREENSHOT names the file).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { serviceForTheseTests } from './service.mjs';
import { Browser, chromiumPath } from './chromium.mjs';

const service = serviceForTheseTests();

// A GET sent as written (no normalising of "..").
function get(path) {
  return new Promise((resolve, reject) => {
    const req = request({ host: '127.0.0.1', port: service.port, path }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, type: response.headers['content-type'], body }));
    });
    req.on('error', reject);
    req.end();
  });
}

test('the demo files are served with their types, and nothing outside them', async () => {
  const cases = [
    ['/', 200, 'text/html; charset=utf-8'],
    ['/demo/', 200, 'text/html; charset=utf-8'],
    ['/demo/app.js', 200, 'text/javascript; charset=utf-8'],
    ['/demo/scanbridge.js', 200, 'text/javascript; charset=utf-8'],
    ['/demo/style.css', 200, 'text/css; charset=utf-8'],
    ['/demo/missing.js', 404],
    ['/demo/../scanbridge.js', 404],
    ['/demo/%2e%2e/%2e%2e/CMakeLists.txt', 404],
    ['/demo/..%2f..%2fCMakeLists.txt', 404],
    ['/demo/test/../../package.json', 404],
  ];
  for (const [path, status, type] of cases) {
    const reply = await get(path);
    assert.equal(reply.status, status, path);
    if (type) assert.equal(reply.type, type, path);
  }
  assert.match((await get('/')).body, /<script type="module" src="\/demo\/app.js">/);
});

test('the demo page scans, reorders and exports a PDF', { skip: !chromiumPath && 'no Chromium' }, async () => {
  const browser = new Browser();
  await browser.launch(`http://127.0.0.1:${service.port}/`);
  try {
    await browser.waitFor(`document.querySelector('#scanners')?.textContent.includes('Virtual Scanner')`);
    await browser.waitFor(`document.querySelectorAll('#options select, #options input').length > 0`);
    await browser.waitFor(`!document.querySelector('#scan').disabled`);
    await browser.evaluate(`document.querySelector('#scan').click()`);
    await browser.waitFor(`document.querySelector('#log').textContent.includes('scan finished: 3 page(s)')`);
    await browser.waitFor(`document.querySelectorAll('#pages li').length === 3`);

    // Drag the third page onto the first.
    const before = await browser.evaluate(`[...document.querySelectorAll('#pages img')].map((i) => i.src)`);
    await browser.evaluate(`(() => {
      const items = document.querySelectorAll('#pages li');
      const data = new DataTransfer();
      items[2].dispatchEvent(new DragEvent('dragstart', { dataTransfer: data, bubbles: true }));
      items[0].dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    })()`);
    await browser.waitFor(`document.querySelector('#log').textContent.includes('moved page 3 to 1')`);
    await browser.waitFor(`document.querySelectorAll('#pages li').length === 3`);
    const after = await browser.evaluate(`[...document.querySelectorAll('#pages img')].map((i) => i.src)`);
    assert.deepEqual(after, [before[2], before[0], before[1]]);

    await browser.evaluate(`document.querySelector('[data-export="pdf"]').click()`);
    const saved = await browser.waitFor(`(document.querySelector('#export-result').textContent.match(/Saved as (\\S+\\.pdf)/) || [])[1]`);
    const info = execFileSync('pdfinfo', [saved], { encoding: 'utf8' });
    assert.match(info, /^Pages:\s+3$/m);

    // Each edit of the selected page and each other export reports success.
    await browser.evaluate(`document.querySelectorAll('#pages li')[1].click()`);
    for (const kind of ['rotate', 'deskew', 'direction', 'crop', 'watermark']) {
      await browser.evaluate(`document.querySelector('[data-edit="${kind}"]').click()`);
      await browser.waitFor(`document.querySelector('#log').textContent.includes('${kind}: page 2')`);
    }
    for (const format of ['ofd', 'tif', 'zip']) {
      await browser.evaluate(`document.querySelector('[data-export="${format}"]').click()`);
      await browser.waitFor(`document.querySelector('#export-result a')?.download === 'scans.${format}'`);
    }
    const errors = await browser.evaluate(`[...document.querySelectorAll('#log .error')].map((e) => e.textContent)`);
    assert.deepEqual(errors, []);
    await browser.evaluate(`document.querySelector('[data-export="pdf"]').click()`);
    await browser.waitFor(`document.querySelector('#export-result a')?.download === 'scans.pdf'`);

    const png = await browser.screenshot();
    assert.ok(png.length > 10000);
    writeFileSync(process.env.DEMO_SCREENSHOT ?? `${service.root}/../scanbridge-demo.png`, png);
  } finally {
    await browser.close();
  }
});
