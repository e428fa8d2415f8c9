// The web build's frames against the desktop's: the offline frame page (brusk.html?at=S) and
// brusk-capture draw the same frames at the same times, every frame at n / 60 s from 0; for a
// frame of each scene this prints the PSNR and the share of pixels within 8 levels, and fails
// when a frame falls below 30 dB or its letterbox bars differ at all.
//
//   node tests/web/frames_test.js BRUSK_CAPTURE [WEB_DIR] [OUT_DIR]
'use strict';
const {spawn} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const c = require('./common');

const FRAMES = [
  {scene: 'credits', at: 3},
  {scene: 'credits', at: 24},    // the credit lines
  {scene: 'metaballs', at: 34},
  {scene: 'ribbons', at: 66},    // with the scroll text
  {scene: 'fountain', at: 130},
];
const MIN_PSNR = 30;
const BAR_ROWS = 96;  // the letterbox: 0.2 of the height at the top and at the bottom

function run(program, args) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, {stdio: ['ignore', 'ignore', 'pipe']});
    let err = '';
    child.stderr.on('data', (d) => { err += d; });
    child.on('error', reject);
    child.on('exit', (code) => (code === 0 ? resolve() : reject(new Error(`${program} ${args.join(' ')}: ${err.trim()}`))));
  });
}

// The desktop's frames, one capture per time, one after the other while the browser draws.
async function captureAll(capture, work) {
  const files = [];
  for (const f of FRAMES) {
    const dir = path.join(work, `desktop-${f.at}`);
    fs.rmSync(dir, {recursive: true, force: true});
    await run(capture, ['--out', dir, '--from', String(f.at), '--seconds', '0.01']);
    files.push(path.join(dir, 'frame_000000.png'));
  }
  return files;
}

async function webFrames(webDir) {
  const server = await c.serve(webDir);
  const browser = await c.launch();
  try {
    const page = await browser.newPage();
    const problems = [];
    page.on('pageerror', (e) => problems.push(e.message));
    await page.goto(`http://127.0.0.1:${server.address().port}/brusk.html?at=${FRAMES[0].at}`);
    await page.waitForFunction(() => document.body.dataset.ready, {timeout: 300000});
    const ready = await page.evaluate(() => document.body.dataset.ready);
    if (ready !== '1') throw new Error(`the frame page did not start (${ready}) ${problems.join('; ')}`);
    const frames = [];
    for (const f of FRAMES) {
      await page.evaluate((s) => window.bruskFrameAt(s), f.at);
      const rgba = Buffer.from(await page.evaluate(() => window.bruskPixels()), 'base64');
      frames.push(c.rgbaToRgb(rgba));
    }
    if (problems.length) throw new Error('the page reported: ' + problems.join('; '));
    return frames;
  } finally {
    await browser.close();
    server.close();
  }
}

function barsEqual(a, b) {
  const row = 640 * 3;
  return a.subarray(0, BAR_ROWS * row).equals(b.subarray(0, BAR_ROWS * row)) &&
         a.subarray((480 - BAR_ROWS) * row).equals(b.subarray((480 - BAR_ROWS) * row));
}

// The two frames side by side, web on the left.
function sideBySide(web, desktop) {
  const out = Buffer.alloc(1280 * 480 * 3);
  for (let y = 0; y < 480; y++) {
    web.copy(out, y * 1280 * 3, y * 640 * 3, (y + 1) * 640 * 3);
    desktop.copy(out, y * 1280 * 3 + 640 * 3, y * 640 * 3, (y + 1) * 640 * 3);
  }
  return out;
}

async function main() {
  const capture = process.argv[2];
  const webDir = path.resolve(process.argv[3] || path.join(c.ROOT, 'build/web'));
  const out = path.resolve(process.argv[4] || path.join(c.ROOT, 'build/web-frames'));
  if (!capture || !fs.existsSync(capture)) throw new Error('usage: frames_test.js BRUSK_CAPTURE [WEB_DIR] [OUT_DIR]');
  if (!fs.existsSync(path.join(webDir, 'brusk.html'))) throw new Error(`${webDir}/brusk.html: build it with scripts/build-web`);
  fs.mkdirSync(out, {recursive: true});
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'brusk-web-frames-'));
  const started = Date.now();
  try {
    const [desktopFiles, web] = await Promise.all([captureAll(capture, work), webFrames(webDir)]);
    let failed = 0;
    console.log('scene       time    PSNR   within 8   letterbox');
    FRAMES.forEach((f, i) => {
      const desktop = c.readPng(desktopFiles[i]);
      if (desktop.width !== 640 || desktop.height !== 480) throw new Error(`${desktopFiles[i]}: not 640 x 480`);
      const r = c.compare(web[i], desktop.rgb, 8);
      const bars = barsEqual(web[i], desktop.rgb);
      const ok = r.psnr >= MIN_PSNR && bars;
      if (!ok) failed++;
      console.log(`${f.scene.padEnd(10)} ${String(f.at).padStart(5)} s ${r.psnr.toFixed(1).padStart(6)} dB ` +
                  `${(r.within * 100).toFixed(2).padStart(7)} %   ${bars ? 'identical' : 'DIFFERS'}${ok ? '' : '   FAIL'}`);
      c.writePng(path.join(out, `${f.scene}-${f.at}s-web-desktop.png`), 1280, 480, sideBySide(web[i], desktop.rgb));
    });
    const seconds = ((Date.now() - started) / 1000).toFixed(0);
    if (failed) {
      console.log(`web frames: FAIL: ${failed} of ${FRAMES.length} frames below ${MIN_PSNR} dB or with other bars (${seconds} s; pairs in ${out})`);
      return 1;
    }
    console.log(`web frames: PASS: ${FRAMES.length} frames of 4 scenes at ${MIN_PSNR} dB or more, bars identical (${seconds} s; pairs in ${out})`);
    return 0;
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
}

main().then((code) => process.exit(code), (e) => {
  console.log(`web frames: FAIL: ${e.message}`);
  process.exit(1);
});
