// scripts/run.sh --web --port P: it says the address, and the page it serves
// in a 480x300 window shows nivora-render's picture, screenshot of the whole
// window against the PNG.
import { spawn } from 'node:child_process';
import { check, differingPixels, finish, launch, renderedPicture, screenshotRgb } from './lib.mjs';

const port = 8765 + Math.floor(Math.random() * 1000);
const server = spawn(process.env.NIVORA_RUN_SCRIPT, ['--web', '--port', String(port)], { detached: true });
let said = '';
server.stdout.on('data', (data) => { said += data; });
server.stderr.on('data', (data) => { said += data; });
const stop = () => { try { process.kill(-server.pid); } catch (e) { /* gone already */ } };
process.on('exit', stop);

const address = `http://127.0.0.1:${port}/`;
const deadline = Date.now() + 240000;
while (!said.includes(`Serving the web edition on ${address}`) && Date.now() < deadline && server.exitCode === null)
  await new Promise((resolve) => setTimeout(resolve, 200));
check(said.includes(`Serving the web edition on ${address}`), `run.sh --web --port ${port} says its address`);

const { browser, close } = await launch(480, 300);
const page = await browser.newPage();
await page.goto(`${address}?seed=42&picture=2&size=480x300`);
await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 60000 });
const window = await screenshotRgb(page, 480, 300);
check(differingPixels(window, renderedPicture(['--size', '480x300', '--seed', '42', '--start', '2'])) === 0,
      'its page in a 480x300 window equals nivora-render --size 480x300 --seed 42 --start 2');
await close();
stop();
finish();
