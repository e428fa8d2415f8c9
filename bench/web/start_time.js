// Time from the answer to the start-up question to the first frame drawn, in the system's
// headless chromium: the page loaded, No clicked, then the driver's start-up (window, song,
// graphics, the first two seconds mixed) and the first pass of the main loop. Also the size of
// the page's three files, gzipped. A benchmark: it reports, never fails on speed.
//
//   node bench/web/start_time.js [WEB_DIR] [RUNS]
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const c = require('../../tests/web/common');

async function main() {
  const webDir = path.resolve(process.argv[2] || path.join(c.ROOT, 'build/web'));
  const runs = Number(process.argv[3] || 5);
  let gzipped = 0;
  for (const f of ['brusk.html', 'brusk.js', 'brusk.wasm'])
    gzipped += zlib.gzipSync(fs.readFileSync(path.join(webDir, f)), {level: 9}).length;
  console.log(`= Web page size, brusk.html + brusk.js + brusk.wasm gzipped | ${(gzipped / 1024).toFixed(0)} KB | <= 800 KB`);
  const server = await c.serve(webDir);
  const browser = await c.launch();
  const times = [];
  try {
    for (let i = 0; i < runs; i++) {
      const page = await browser.newPage();
      await page.goto(`http://127.0.0.1:${server.address().port}/brusk.html`);
      await page.waitForSelector('#question:not([hidden])');
      await new Promise((r) => setTimeout(r, 500));  // the module compiled, as a reader would leave it
      await page.click('#no');
      await page.waitForFunction(() => window.bruskFirstFrameAt, {timeout: 30000});
      times.push(await page.evaluate(() => window.bruskFirstFrameAt - window.bruskAnsweredAt));
      await page.close();
    }
  } finally {
    await browser.close();
    server.close();
  }
  times.sort((a, b) => a - b);
  console.log(`start to first frame, ms: ${times.map((t) => t.toFixed(0)).join(' ')}`);
  console.log(`= Web start, the answer to the first frame (median of ${runs}) | ${times[times.length >> 1].toFixed(0)} ms | <= 1000 ms`);
}

main().catch((e) => {
  console.error('start_time: ' + e.message);
  process.exit(1);
});
