// What the web tests and the web benchmark share: a static server for build/web, the system's
// chromium in headless mode with WebGL on its software renderer, and a PNG reader for the
// frames brusk-capture writes.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const ROOT = path.resolve(__dirname, '..', '..');

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};

// Serves `dir` on a free local port, as any static host would.
function serve(dir) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '');
    const file = path.join(dir, name);
    if (!file.startsWith(dir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function chromiumPath() {
  for (const p of [process.env.CHROMIUM, '/usr/bin/chromium', '/usr/bin/chromium-browser']) {
    if (p && fs.existsSync(p)) return p;
  }
  throw new Error('no chromium: install it (apt-get install chromium) or name it in CHROMIUM');
}

function launch() {
  return puppeteer.launch({
    executablePath: chromiumPath(),
    headless: true,
    args: [
      '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--ignore-gpu-blocklist', '--autoplay-policy=no-user-gesture-required', '--mute-audio',
      '--window-size=800,700', '--disable-background-timer-throttling',
      '--disable-renderer-backgrounding', '--disable-backgrounding-occluded-windows',
    ],
    defaultViewport: {width: 800, height: 700},
    protocolTimeout: 900000,  // drawing on to a late frame takes minutes on a slow machine
  });
}

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// An 8-bit RGB or RGBA PNG as {width, height, rgb}; anything else is refused.
function readPng(file) {
  const data = fs.readFileSync(file);
  if (data.toString('latin1', 1, 4) !== 'PNG') throw new Error(file + ': not a PNG');
  let at = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (at + 8 <= data.length) {
    const length = data.readUInt32BE(at), type = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6) || body[12] !== 0)
        throw new Error(file + ': only 8-bit RGB or RGBA without interlacing is read here');
      channels = body[9] === 2 ? 3 : 4;
    } else if (type === 'IDAT') {
      idat.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) v += paeth(a, b, c);
      pixels[y * stride + x] = v & 255;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0, j = 0; i < rgb.length; i += 3, j += channels) {
    rgb[i] = pixels[j];
    rgb[i + 1] = pixels[j + 1];
    rgb[i + 2] = pixels[j + 2];
  }
  return {width, height, rgb};
}

// An RGB image as a PNG file (no filtering), for looking at the frames.
function writePng(file, width, height, rgb) {
  const crcTable = [];
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    crcTable[n] = c >>> 0;
  }
  const crc = (buf) => {
    let c = 0xffffffff;
    for (const b of buf) c = crcTable[(c ^ b) & 255] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, body) => {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(body.length, 0);
    head.write(type, 4, 'latin1');
    const tail = Buffer.alloc(4);
    tail.writeUInt32BE(crc(Buffer.concat([head.subarray(4), body])), 0);
    return Buffer.concat([head, body, tail]);
  };
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(width, 0);
  ihdr.writeUInt32BE(height, 4);
  ihdr[8] = 8;
  ihdr[9] = 2;
  const raw = Buffer.alloc((width * 3 + 1) * height);
  for (let y = 0; y < height; y++) rgb.copy(raw, y * (width * 3 + 1) + 1, y * width * 3, (y + 1) * width * 3);
  fs.writeFileSync(file, Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', ihdr),
    chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]));
}

// RGBA (the page's frame) to RGB.
function rgbaToRgb(rgba) {
  const rgb = Buffer.alloc(rgba.length / 4 * 3);
  for (let i = 0, j = 0; j < rgba.length; i += 3, j += 4) {
    rgb[i] = rgba[j];
    rgb[i + 1] = rgba[j + 1];
    rgb[i + 2] = rgba[j + 2];
  }
  return rgb;
}

// PSNR over all channels (Infinity when equal) and the share of pixels whose three channels
// are each within `tolerance` levels.
function compare(a, b, tolerance) {
  let squares = 0, close = 0;
  for (let i = 0; i < a.length; i += 3) {
    let near = true;
    for (let c = 0; c < 3; c++) {
      const d = a[i + c] - b[i + c];
      squares += d * d;
      if (d > tolerance || d < -tolerance) near = false;
    }
    if (near) close++;
  }
  const mse = squares / a.length;
  return {psnr: mse === 0 ? Infinity : 10 * Math.log10(255 * 255 / mse), within: close / (a.length / 3)};
}

module.exports = {ROOT, serve, launch, readPng, writePng, rgbaToRgb, compare};
