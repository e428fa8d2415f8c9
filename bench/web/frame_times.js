// Frame time per scene of the web build in the system's headless chromium (WebGL on its
// software renderer), from the offline frame page: each frame timed from its start to the end
// of its drawing (a one-pixel read waits for it). Prints p50 and p90 per scene, the frames per
// second the p50 gives, and the p50 of the part spent in the page's own code (the rest is the
// browser's GL work); a benchmark, it never fails on speed.
//
//   node bench/web/frame_times.js [WEB_DIR] [FRAMES_PER_SCENE]
'use strict';
const path = require('path');
const c = require('../../tests/web/common');

const SCENES = [
  {scene: 'credits', at: 3},
  {scene: 'metaballs', at: 34},
  {scene: 'ribbons', at: 66},
  {scene: 'fountain', at: 130},
];

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))];
}

async function main() {
  const webDir = path.resolve(process.argv[2] || path.join(c.ROOT, 'build/web'));
  const count = Number(process.argv[3] || 120);
  const server = await c.serve(webDir);
  const browser = await c.launch();
  try {
    const page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/brusk.html?at=0`);
    await page.waitForFunction(() => document.body.dataset.ready, {timeout: 600000});
    console.log('scene        from      p50 ms   p90 ms   fps at p50   page code p50');
    for (const s of SCENES) {
      await page.evaluate((t) => window.bruskFrameAt(t), s.at);
      const pairs = await page.evaluate((n) => window.bruskTimeFrames(n), count);
      const times = pairs.map((p) => p[0]).sort((a, b) => a - b);
      const own = pairs.map((p) => p[1]).sort((a, b) => a - b);
      const p50 = percentile(times, 0.5), p90 = percentile(times, 0.9);
      console.log(`${s.scene.padEnd(10)} ${String(s.at).padStart(5)} s ${p50.toFixed(2).padStart(9)} ${p90.toFixed(2).padStart(8)} ` +
                  `${(1000 / p50).toFixed(0).padStart(10)} ${percentile(own, 0.5).toFixed(2).padStart(13)}`);
      console.log(`= Web frame time p50, ${s.scene} (headless chromium) | ${p50.toFixed(2)} ms (${(1000 / p50).toFixed(0)} fps) | >= 60 fps`);
    }
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((e) => {
  console.error('frame_times: ' + e.message);
  process.exit(1);
});
