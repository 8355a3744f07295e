// What the web edition's browser tests share: the site served on loopback,
// Debian's Chromium headless through puppeteer-core, nivora-render's
// pictures to compare with, and a check that nothing went to the console.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { PNG } from 'pngjs';

const [site, render] = [process.env.NIVORA_SITE, process.env.NIVORA_RENDER];
if (!site || !render) throw new Error('NIVORA_SITE and NIVORA_RENDER must name the site and nivora-render');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.txt': 'text/plain' };

export async function serveSite() {
  const server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.replace(/\/$/, '/index.html');
    const file = path.join(site, path.normalize(name));
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { origin: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// Chromium as the machine runs it: no sandbox (root), no GPU, no network
// beyond loopback, a profile of its own. `extra` adds flags.
export async function launch(width, height, extra = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'nivora-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.NIVORA_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    defaultViewport: { width, height, deviceScaleFactor: 1 },
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`, `--window-size=${width},${height}`, ...extra],
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

// A page whose console errors and uncaught exceptions are kept.
export async function openPage(browser, problems) {
  const page = await browser.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page: ${error.message}`));
  return page;
}

// nivora-render's picture as RGB bytes.
export function renderedPicture(args) {
  const out = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'nivora-render-')), 'picture.png');
  const run = spawnSync(render, [...args, '--out', out], { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`nivora-render ${args.join(' ')}: ${run.stderr}`);
  const picture = pngRgb(fs.readFileSync(out));
  fs.rmSync(path.dirname(out), { recursive: true, force: true });
  return picture;
}

export function pngRgb(bytes) {
  const png = PNG.sync.read(bytes);
  const rgb = Buffer.alloc(png.width * png.height * 3);
  for (let i = 0, j = 0; i < png.data.length; i += 4, j += 3) png.data.copy(rgb, j, i, i + 3);
  return { width: png.width, height: png.height, rgb };
}

// The canvas's pixels as RGB bytes.
export async function canvasRgb(page) {
  const { width, height, base64 } = await page.evaluate(() => {
    const canvas = document.getElementById('picture');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const rgb = new Uint8Array(canvas.width * canvas.height * 3);
    for (let i = 0, j = 0; i < data.length; i += 4, j += 3) rgb.set(data.subarray(i, i + 3), j);
    let text = '';
    for (let i = 0; i < rgb.length; i += 0x8000) text += String.fromCharCode(...rgb.subarray(i, i + 0x8000));
    return { width: canvas.width, height: canvas.height, base64: btoa(text) };
  });
  return { width, height, rgb: Buffer.from(base64, 'base64') };
}

export async function screenshotRgb(page, width, height) {
  return pngRgb(await page.screenshot({ clip: { x: 0, y: 0, width, height }, type: 'png' }));
}

// How many pixels differ (every pixel when the sizes do).
export function differingPixels(a, b) {
  if (a.width !== b.width || a.height !== b.height) return a.width * a.height;
  let count = 0;
  for (let i = 0; i < a.rgb.length; i += 3)
    if (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]) ++count;
  return count;
}

let failures = 0;
export function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}
export function finish() {
  console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
  process.exit(failures ? 1 : 0);
}
