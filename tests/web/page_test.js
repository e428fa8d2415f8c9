// The whole demo as a page, in the system's headless chromium: its three files and their size;
// the start-up question with its texts; No gives the 640 x 480 canvas with the gradient and the
// letterbox bars; Yes full screen, or the fallback question where full screen is refused; the
// audible order and row move on with the audio clock, and stop while the tab is hidden; Escape
// and a left click in the picture end the run, keeping the last frame and offering a new start;
// the WAV link saves brusk-wav's file, byte for byte.
//
//   node tests/web/page_test.js BRUSK_WAV [WEB_DIR]
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const c = require('./common');

const failures = [];
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
}

async function open(browser, url) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url);
  await page.waitForSelector('#question:not([hidden])', {timeout: 30000});
  return {page, errors};
}

// Answers No and waits until the demo has drawn for a while.
async function startWindowed(page) {
  await page.click('#no');
  await page.waitForFunction(() => document.body.dataset.state !== 'question', {timeout: 30000});
  await page.waitForFunction(() => window.bruskModule && window.bruskModule._brusk_position() >= 0, {timeout: 30000});
}

// The canvas as the page shows it, RGB.
async function canvasPixels(page) {
  const canvas = await page.$('#canvas');
  const file = path.join(os.tmpdir(), `brusk-page-${process.pid}.png`);
  await canvas.screenshot({path: file});
  const png = c.readPng(file);
  fs.rmSync(file, {force: true});
  return png;
}

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

async function main() {
  const brusk_wav = process.argv[2];
  const webDir = path.resolve(process.argv[3] || path.join(c.ROOT, 'build/web'));
  if (!brusk_wav || !fs.existsSync(brusk_wav)) throw new Error('usage: page_test.js BRUSK_WAV [WEB_DIR]');
  // Three files and nothing else, small enough for any link.
  const files = fs.readdirSync(webDir).sort();
  const gzipped = files.reduce((sum, f) => sum + zlib.gzipSync(fs.readFileSync(path.join(webDir, f)), {level: 9}).length, 0);
  check(files.join(' ') === 'brusk.html brusk.js brusk.wasm' && gzipped <= 800 * 1024,
        `the page is ${files.join(', ')}: ${(gzipped / 1024).toFixed(0)} KB gzipped (at most 800)`);
  const server = await c.serve(webDir);
  const url = `http://127.0.0.1:${server.address().port}/brusk.html`;
  const browser = await c.launch();
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'brusk-page-'));
  try {
    // The question, then No: the canvas in the page.
    let {page, errors} = await open(browser, url);
    const question = await page.evaluate(() => ({
      caption: document.getElementById('question-caption').textContent,
      text: document.getElementById('question-text').textContent,
      yes: document.getElementById('yes').textContent,
      no: document.getElementById('no').textContent,
    }));
    check(question.caption === '-*- Gfx Mode Selection -*-' && question.text === 'Start in fullscreen ? (RECOMMANDED)' &&
          question.yes === 'Yes' && question.no === 'No', `the question: "${question.caption}" / "${question.text}" / ${question.yes} ${question.no}`);
    await startWindowed(page);
    const size = await page.evaluate(() => {
      const canvas = document.getElementById('canvas'), box = canvas.getBoundingClientRect();
      return {width: canvas.width, height: canvas.height, shown: `${box.width}x${box.height}`,
              visible: getComputedStyle(canvas).visibility, full: !!document.fullscreenElement};
    });
    check(size.width === 640 && size.height === 480 && size.shown === '640x480' && size.visible === 'visible' && !size.full,
          `No gives a 640 x 480 canvas in the page (${size.width} x ${size.height}, shown ${size.shown}, ${size.visible})`);
    await new Promise((r) => setTimeout(r, 1500));
    const shot = await canvasPixels(page);
    const at = (x, y, k) => shot.rgb[(y * shot.width + x) * 3 + k];
    let barsBlack = true;
    for (const y of [0, 40, 95, 384, 440, 479])
      for (let x = 0; x < 640; x++) if (at(x, y, 0) || at(x, y, 1) || at(x, y, 2)) barsBlack = false;
    check(barsBlack, 'the letterbox bars are black');
    // The gradient runs from (192, 207, 203) at the top to (108, 128, 114) at the bottom; most of
    // a row is background.
    let gradient = true;
    const seen = [];
    for (const y of [100, 160, 330, 380]) {  // clear of the grain band in the middle
      const t = (y + 0.5) / 480;
      const want = [192 + (108 - 192) * t, 207 + (128 - 207) * t, 203 + (114 - 203) * t];
      const got = [0, 1, 2].map((k) => median(Array.from({length: 640}, (_, x) => at(x, y, k))));
      seen.push(`row ${y}: ${got.join(',')}`);
      if (got.some((v, k) => Math.abs(v - want[k]) > 6)) gradient = false;
    }
    check(gradient, `the gradient shows between the bars (${seen.join('; ')})`);

    // The position heard moves on with the audio clock.
    const first = await page.evaluate(() => window.bruskModule._brusk_position());
    await new Promise((r) => setTimeout(r, 4000));
    const later = await page.evaluate(() => window.bruskModule._brusk_position());
    const text = (p) => `order ${p >> 8} row ${p & 255}`;
    check(later > first, `the audible position advances (${text(first)}, 4 s later ${text(later)})`);

    // A hidden tab pauses the sound and with it the audio clock the show follows; back in
    // front, both go on from there.
    const status = () => page.evaluate(() => ({
      visibility: document.visibilityState, audio: window.bruskModule.audioContext.state,
      clock: window.bruskModule.audioContext.currentTime, position: window.bruskModule._brusk_position(),
    }));
    const other = await browser.newPage();
    await other.bringToFront();
    await new Promise((r) => setTimeout(r, 500));
    const hidden = await status();
    await new Promise((r) => setTimeout(r, 2000));
    const stillHidden = await status();
    await page.bringToFront();
    await new Promise((r) => setTimeout(r, 2500));
    const back = await status();
    await other.close();
    check(hidden.visibility === 'hidden' && stillHidden.audio === 'suspended' && stillHidden.clock === hidden.clock &&
          back.audio === 'running' && back.clock > stillHidden.clock && back.position > stillHidden.position,
          `a hidden tab pauses the sound and the show (audio ${stillHidden.audio}, clock held at ` +
          `${stillHidden.clock.toFixed(2)} s); back in front both go on (${back.audio}, ${text(stillHidden.position)} -> ${text(back.position)})`);

    // Escape ends the run: the sound stops, the frame stays, a new start is offered.
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', {timeout: 10000}).catch(() => {});
    const afterEscape = await page.evaluate(() => ({
      state: document.body.dataset.state, again: !document.getElementById('ended').hidden,
      audio: window.bruskModule.audioContext ? window.bruskModule.audioContext.state : 'closed',
    }));
    const kept = await canvasPixels(page);
    let lit = 0;
    for (let i = 0; i < kept.rgb.length; i += 3) if (kept.rgb[i] > 60) lit++;
    check(afterEscape.state === 'ended' && afterEscape.again && afterEscape.audio === 'closed' && lit > 640 * 100,
          `Escape ends the run (${afterEscape.state}, sound ${afterEscape.audio}, last frame kept: ${lit} lit pixels)`);
    check(errors.length === 0, `no page errors (${errors.join('; ') || 'none'})`);
    await page.close();

    // Yes: full screen from that click, the picture filling the screen's height without the
    // cursor; Escape ends the run and leaves full screen.
    ({page, errors} = await open(browser, url));
    await page.setViewport({width: 1000, height: 600});
    await page.click('#yes');
    await page.waitForFunction(() => window.bruskModule && window.bruskModule._brusk_position() >= 0, {timeout: 30000});
    const full = await page.evaluate(() => {
      const canvas = document.getElementById('canvas'), box = canvas.getBoundingClientRect();
      return {full: !!document.fullscreenElement, box: `${box.width}x${box.height}`, fit: getComputedStyle(canvas).objectFit,
              cursor: getComputedStyle(canvas).cursor};
    });
    check(full.full && full.box === '1000x600' && full.fit === 'contain' && full.cursor === 'none',
          `Yes goes full screen: the canvas fills the screen (${full.box}) showing the 4:3 picture at full height, no cursor`);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', {timeout: 10000}).catch(() => {});
    const left = await page.evaluate(() => ({state: document.body.dataset.state, full: !!document.fullscreenElement}));
    check(left.state === 'ended' && !left.full, `Escape in full screen ends the run and leaves full screen (${left.state})`);
    await page.close();

    // Where the browser keeps Escape to leave full screen itself, leaving it ends the run too.
    ({page, errors} = await open(browser, url));
    await page.click('#yes');
    await page.waitForFunction(() => window.bruskModule && window.bruskModule._brusk_position() >= 0, {timeout: 30000});
    await page.evaluate(() => document.exitFullscreen());
    await page.waitForFunction(() => document.body.dataset.state === 'ended', {timeout: 10000}).catch(() => {});
    check(await page.evaluate(() => document.body.dataset.state === 'ended'),
          'leaving full screen by the browser\'s own Escape ends the run');
    await page.close();

    // A browser that refuses full screen: the fallback question, the same way. Yes runs in the
    // page; No closes with the window's message.
    for (const windowed of [true, false]) {
      const refusing = await browser.newPage();
      await refusing.evaluateOnNewDocument(() => {
        Element.prototype.requestFullscreen = () => Promise.reject(new Error('refused'));
      });
      await refusing.goto(url);
      await refusing.waitForSelector('#question:not([hidden])');
      await refusing.click('#yes');
      await refusing.waitForFunction(() => document.getElementById('question-caption').textContent === 'Orlu GL' &&
                                           !document.getElementById('question').hidden, {timeout: 10000}).catch(() => {});
      const asked = await refusing.evaluate(() => document.getElementById('question-text').textContent);
      await refusing.click(windowed ? '#yes' : '#no');
      await refusing.waitForFunction(() => document.body.dataset.state !== 'question', {timeout: 30000}).catch(() => {});
      const after = await refusing.evaluate(() => ({
        state: document.body.dataset.state, full: !!document.fullscreenElement,
        message: document.getElementById('message').hidden ? '' :
          document.getElementById('message-caption').textContent + ': ' + document.getElementById('message-text').textContent,
      }));
      const wantText = 'The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?';
      check(asked === wantText && (windowed ? after.state === 'running' && !after.full && !after.message
                                            : after.state === 'ended' && after.message === 'ERROR: Program Will Now Close.'),
            `full screen refused: the fallback question, then ${windowed ? 'Yes runs in the page' : 'No closes'} ` +
            `(${after.state}${after.message ? ', "' + after.message + '"' : ''})`);
      await refusing.close();
    }

    // A left click in the picture ends it too.
    ({page, errors} = await open(browser, url));
    await startWindowed(page);
    await page.click('#canvas');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', {timeout: 10000}).catch(() => {});
    check(await page.evaluate(() => document.body.dataset.state === 'ended'), 'a left click in the picture ends the run');

    // The WAV link saves what brusk-wav writes.
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: work});
    await page.click('#song-wav');
    const saved = path.join(work, 'brusk.wav');
    const deadline = Date.now() + 60000;
    while (!fs.existsSync(saved) && Date.now() < deadline) await new Promise((r) => setTimeout(r, 200));
    await new Promise((r) => setTimeout(r, 500));
    const reference = path.join(work, 'reference.wav');
    execFileSync(brusk_wav, [reference], {stdio: 'ignore'});
    const a = fs.existsSync(saved) ? fs.readFileSync(saved) : Buffer.alloc(0), b = fs.readFileSync(reference);
    check(a.length > 44 && a.equals(b), `the WAV link's file equals brusk-wav's (${a.length} and ${b.length} bytes)`);
    await page.close();
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(work, {recursive: true, force: true});
  }
  if (failures.length) {
    console.log(`web page: FAIL: ${failures.length} check(s) failed`);
    return 1;
  }
  console.log('web page: PASS: files and size, question, windowed canvas, full screen and its fallback, audible position, hidden tab, Escape, left click, WAV link');
  return 0;
}

main().then((code) => process.exit(code), (e) => {
  console.log(`web page: FAIL: ${e.message}`);
  process.exit(1);
});
