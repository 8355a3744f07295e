// The web edition's speed in Chromium, by hand (not a test): for a few seeds
// at 1920x1080 with the default settings, the time from the page's start to
// its first picture on the screen, the workers' time for each layer, and how
// long each later picture waited for the workers after its hold ended.
// From build-web/tests/web, where the build copies it beside node_modules:
//   NIVORA_SITE=../../site NIVORA_RENDER=../../../build/src/tools/nivora-render node speed.mjs [SEEDS...] [--pictures N]
import os from 'node:os';
import { launch, serveSite } from './lib.mjs';

const args = process.argv.slice(2);
const at = args.indexOf('--pictures');
const pictures = at >= 0 ? Number(args.splice(at, 2)[1]) : 3;
const seeds = args.length ? args.map(Number) : [1, 2, 3];
const server = await serveSite();
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor((v.length - 1) / 2)];
const firsts = [];
for (const seed of seeds) {
  const { browser, close } = await launch(1920, 1080);
  const page = await browser.newPage();
  await page.goto(`${server.origin}/?seed=${seed}`);
  await page.waitForFunction((n) => window.nivoraStatus && window.nivoraStatus.pictures >= n,
                             { timeout: 600000, polling: 1000 }, pictures);
  const s = await page.evaluate(() => window.nivoraStatus);
  const waits = s.changes.slice(1).map((change, i) => Math.round(change - s.holds[i] - 5000));
  firsts.push(s.changes[0]);
  // Other work on the machine slows the workers: the load says how much.
  console.log(`seed ${seed} (load ${os.loadavg()[0].toFixed(1)}): first picture ${Math.round(s.changes[0])} ms; later pictures waited ${JSON.stringify(waits)} ms; ` +
              `layers ${s.jobs.map((j) => `${j.part} ${j.algorithm ?? j.background} ${Math.round(j.ms)}`).join(', ')} ms`);
  await close();
}
console.log(`median first picture: ${Math.round(median(firsts))} ms`);
server.close();
