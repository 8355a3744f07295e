// The live page at 1920x1080, as one scenario: a setting made in the panel
// survives a reload; the pictures are nivora-render --seed's, in its order;
// the reveal moves down the rows; a picture follows its hold on time, ready
// beforehand; the page's thread has no long task over 50 ms; a click makes
// it full screen, a key or a jump of the mouse leaves it; a smaller window
// gets the picture at its size; settings changed while a picture is made
// give the last settings' picture; nothing goes to the console.
import { canvasRgb, check, differingPixels, finish, launch, openPage, renderedPicture, serveSite } from './lib.mjs';

const [width, height] = [1920, 1080];
const seed = 20261207;  // its second picture's numbers differ in the two orders of draws
const server = await serveSite();
const problems = [];
const { browser, close } = await launch(width, height);
const page = await openPage(browser, problems);
await page.evaluateOnNewDocument(() => {
  window.longTasks = [];
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) window.longTasks.push({ start: entry.startTime, duration: entry.duration });
  }).observe({ type: 'longtask', buffered: true });
});

// The brightness set in the panel, then the page loaded again.
await page.goto(`${server.origin}/?seed=${seed}`);
await page.waitForFunction(() => window.nivoraStatus && window.nivoraStatus.pictures >= 1, { timeout: 60000 });
await page.click('#show-settings');
await page.evaluate(() => {
  const slider = document.getElementById('brightness');
  slider.value = '10';
  slider.dispatchEvent(new Event('input', { bubbles: true }));
});
check(await page.$eval('#settings', (e) => !e.hidden), 'the settings button shows the panel');
check(await page.evaluate(() => document.fullscreenElement === null), 'a click on the panel does not go full screen');
await page.reload();
await page.waitForFunction(() => window.nivoraStatus && window.nivoraStatus.pictures >= 1, { timeout: 60000 });
check(await page.$eval('#brightness', (e) => e.value === '10'), 'a brightness of 10 survives a reload');
const firstMs = await page.evaluate(() => window.nivoraStatus.changes[0]);
console.log(`first ${width}x${height} picture on the screen ${Math.round(firstMs)} ms after the page began loading`);

async function finished(picture) {
  await page.waitForFunction((n) => window.nivoraStatus.pictures === n && window.nivoraStatus.state === 'hold',
                             { timeout: 60000, polling: 'raf' }, picture);
  const shown = await canvasRgb(page);
  const expected = renderedPicture(['--size', `${width}x${height}`, '--seed', String(seed), '--start', String(picture),
                                    '--brightness', '10']);
  check(differingPixels(shown, expected) === 0, `finished picture ${picture} equals nivora-render --seed ${seed} --start ${picture}`);
}
await finished(1);

// The second picture's reveal runs down the rows.
await page.waitForFunction(() => window.nivoraStatus.pictures === 2, { timeout: 60000 });
const rowAt = () => page.evaluate(() => window.nivoraStatus.lastRow);
await new Promise((resolve) => setTimeout(resolve, 500));
const early = await rowAt();
await new Promise((resolve) => setTimeout(resolve, 1000));
const later = await rowAt();
check(early >= 0 && later > early, `the reveal moves down the rows (row ${early}, a second later ${later})`);
await finished(2);

const timing = await page.evaluate(() => ({ holds: window.nivoraStatus.holds, changes: window.nivoraStatus.changes }));
// The default hold of 5 s; the picture was made while the first one showed.
const late = timing.changes[1] - timing.holds[0] - 5000;
check(late >= 0 && late < 100, `picture 2 came when the hold of 5 s had ended (${Math.round(late)} ms after)`);
// Through the change, from before the hold's end until the new picture has
// been drawn and the workers are on the next one (the test's own reads of
// the canvas lie outside).
const longTasks = await page.evaluate((from, to) => window.longTasks.filter((t) => t.start >= from && t.start <= to && t.duration > 50),
                                      timing.holds[0] + 4000, timing.changes[1] + 1500);
console.log(`hold ends ${Math.round(timing.holds[0] + 5000)}, picture 2 at ${Math.round(timing.changes[1])}`);
console.log(`layers made by the workers (ms): ${JSON.stringify(await page.evaluate(() => window.nivoraStatus.jobs))}`);
check(longTasks.length === 0,
      `no long task over 50 ms on the page's thread through a picture change${longTasks.length ? `: ${JSON.stringify(longTasks)}` : ''}`);

// Full screen on a click; a key leaves it, and so does a jump of the mouse.
const fullScreen = () => page.evaluate(() => document.fullscreenElement !== null);
await page.mouse.click(900, 700);
await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 }).catch(() => {});
check(await fullScreen(), 'a click on the picture goes full screen');
await page.keyboard.press('Space');
await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 5000 }).catch(() => {});
check(!(await fullScreen()), 'a key leaves full screen');
await page.mouse.click(900, 700);
await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 }).catch(() => {});
await page.mouse.move(930, 720);
await page.mouse.move(960, 700);
await new Promise((resolve) => setTimeout(resolve, 300));
check(await fullScreen(), 'small moves of the mouse keep full screen');
await page.mouse.move(1300, 700);
await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 5000 }).catch(() => {});
check(!(await fullScreen()), 'a jump of the mouse over 100 pixels leaves full screen');

const link = await page.$eval('#link', (a) => a.getAttribute('href'));
check(new URLSearchParams(link.split('?')[1]).get('picture') === String(await page.evaluate(() => window.nivoraStatus.picture)) &&
      link.includes(`seed=${seed}`) && link.includes(`size=${width}x${height}`), `the page links its picture (${link})`);

// A smaller window: the picture on screen made again at its size.
const shownPicture = await page.evaluate(() => window.nivoraStatus.picture);
const taken = await page.evaluate(() => window.nivoraStatus.pictures);
await page.setViewport({ width: 800, height: 450 });
await page.waitForFunction((n) => window.nivoraStatus.width === 800 && window.nivoraStatus.pictures > n &&
                                  window.nivoraStatus.state === 'hold', { timeout: 60000, polling: 'raf' }, taken);
const resized = await canvasRgb(page);
check(await page.evaluate(() => window.nivoraStatus.picture) === shownPicture &&
      differingPixels(resized, renderedPicture(['--size', '800x450', '--seed', String(seed), '--start', String(shownPicture),
                                                '--brightness', '10'])) === 0,
      `after the window shrank to 800x450, picture ${shownPicture} at that size`);

// Settings changed while their layers are being made: each change makes
// the picture on screen again, the newer request takes the workers from the
// older one, and the last one's picture shows. A long hold keeps the numbers.
const input = (changes) => page.evaluate((changes) => {
  for (const [id, value] of changes) {
    const element = document.getElementById(id);
    element.value = String(value);
    element.dispatchEvent(new Event('input', { bubbles: true }));
  }
}, changes);
await input([['timeShow', 20]]);
const holdsBefore = await page.evaluate(() => window.nivoraStatus.holds.length);
await input([['background', 2]]);
await new Promise((resolve) => setTimeout(resolve, 150));
await input([['algorithm', 5], ['brightness', 17]]);
await page.waitForFunction((n) => window.nivoraStatus.holds.length > n && window.nivoraStatus.state === 'hold',
                           { timeout: 60000, polling: 'raf' }, holdsBefore);
check(differingPixels(await canvasRgb(page),
                      renderedPicture(['--size', '800x450', '--algorithm', '5', '--background', '2', '--brightness', '17'])) === 0,
      'settings changed while their layers were made: the last ones\' picture (snowflake 5, background 2, brightness 17)');

check(problems.length === 0, `no console errors${problems.length ? `: ${problems.join('; ')}` : ''}`);
await close();
server.close();
finish();
