// The link's still pictures against nivora-render's: several seeds, sizes,
// brightnesses, both random settings on and off; read from the canvas and
// from a screenshot, 0 differing pixels. Stepping with the arrow keys, a
// size too large and a browser without WebAssembly.
import { canvasRgb, check, differingPixels, finish, launch, openPage, renderedPicture, screenshotRgb, serveSite }
  from './lib.mjs';

const server = await serveSite();
const problems = [];

const cases = [
  { seed: 42, picture: 2, size: [480, 300], query: '', args: [] },
  { seed: 7, picture: 1, size: [320, 240], query: '&brightness=20', args: ['--brightness', '20'] },
  { seed: 20261207, picture: 3, size: [200, 360], query: '&brightness=3&algorithm=5', args: ['--brightness', '3', '--algorithm', '5'] },
  { seed: 99, picture: 4, size: [640, 360], query: '&background=0&brightness=9', args: ['--background', '0', '--brightness', '9'] },
  { seed: 1, picture: 1, size: [256, 256], query: '&algorithm=20&background=14', args: ['--algorithm', '20', '--background', '14'] },
];

for (const c of cases) {
  const [width, height] = c.size;
  const { browser, close } = await launch(width, height);
  const page = await openPage(browser, problems);
  await page.goto(`${server.origin}/?seed=${c.seed}&picture=${c.picture}&size=${width}x${height}${c.query}`);
  await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 60000 });
  const expected = renderedPicture(['--size', `${width}x${height}`, '--seed', String(c.seed), '--start', String(c.picture), ...c.args]);
  const what = `seed ${c.seed} picture ${c.picture} at ${width}x${height}${c.query}`;
  check(differingPixels(await canvasRgb(page), expected) === 0, `${what}: the canvas equals nivora-render's picture`);
  check(differingPixels(await screenshotRgb(page, width, height), expected) === 0, `${what}: so does a screenshot`);
  if (c.picture === 2) {
    // The next picture of the run, and back.
    await page.keyboard.press('ArrowRight');
    await page.waitForFunction(() => document.body.dataset.state === 'ready' && document.body.dataset.picture === '3',
                               { timeout: 60000 });
    const third = renderedPicture(['--size', `${width}x${height}`, '--seed', String(c.seed), '--start', '3', ...c.args]);
    check(differingPixels(await canvasRgb(page), third) === 0, `${what}: the right arrow shows picture 3`);
    check(new URL(page.url()).searchParams.get('picture') === '3', `${what}: the address names picture 3`);
    await page.keyboard.press('ArrowLeft');
    await page.waitForFunction(() => document.body.dataset.state === 'ready' && document.body.dataset.picture === '2',
                               { timeout: 60000 });
    check(differingPixels(await canvasRgb(page), expected) === 0, `${what}: the left arrow shows picture 2 again`);
    check(await page.evaluate(() => document.querySelectorAll('body > :not(script):not(noscript):not([hidden])').length === 1),
          `${what}: nothing but the canvas on the page`);
  }
  await close();
}

// Messages instead of a blank page.
{
  const { browser, close } = await launch(800, 600);
  const page = await openPage(browser, problems);
  await page.goto(`${server.origin}/?seed=1&picture=1&size=20000x100`);
  await page.waitForFunction(() => document.body.dataset.state === 'message', { timeout: 30000 });
  check(/20000 x 100/.test(await page.$eval('#message', (e) => e.textContent)), 'a side too large gets a message');
  await page.goto(`${server.origin}/?seed=1&picture=1&size=16384x16384`);
  await page.waitForFunction(() => document.body.dataset.state === 'message', { timeout: 30000 });
  check(/needs about .* GB/.test(await page.$eval('#message', (e) => e.textContent)),
        'a picture needing more memory than a page holds gets a message');
  await close();
}
{
  const { browser, close } = await launch(800, 600, ['--js-flags=--jitless'])  // as a policy that turns off the JIT does;
  const page = await openPage(browser, problems);
  await page.goto(`${server.origin}/`);
  await page.waitForFunction(() => document.body.dataset.state === 'message', { timeout: 30000 });
  check(/WebAssembly/.test(await page.$eval('#message', (e) => e.textContent)),
        'a browser without WebAssembly gets the message');
  await close();
}

check(problems.length === 0, `no console errors${problems.length ? `: ${problems.join('; ')}` : ''}`);
server.close();
finish();
