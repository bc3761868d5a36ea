// The README's pictures of the site: the home, people, one profile, one game and the ranking page of an
// exported report, at 1366 and 390 px width, taken in Debian's chromium, headless, driven by
// puppeteer-core. Nothing outside the report folder is loaded.
//
// Usage: node tests/browser/screenshots.js REPORT_DIR SCREENSHOT_DIR
'use strict';

const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const puppeteer = require('puppeteer-core');

const report = path.resolve(process.argv[2] || '');
const shots = path.resolve(process.argv[3] || '');

(async () => {
  if (!process.argv[3] || !fs.existsSync(path.join(report, 'site', 'index.html'))) {
    console.error('usage: node screenshots.js REPORT_DIR SCREENSHOT_DIR (a report with a site)');
    process.exit(2);
  }
  fs.mkdirSync(shots, { recursive: true });
  // Wolf6's profile when he is there, else the first person's; the game with most players.
  const read = (file) => JSON.parse(fs.readFileSync(path.join(report, 'site', file), 'utf8'));
  const people = read('people.json').people;
  const person = people.find((p) => p.name === 'Wolf6') || people[0];
  const games = read('games.json').games;
  const game = games.reduce((a, b) => (b.players.length > a.players.length ? b : a), games[0]);
  const targets = [['home', 'index.html'], ['people', 'people.html'], ['profile', person.page],
    ['game', game.page], ['ranking', 'ranking.html']];
  const browser = await puppeteer.launch({
    executablePath: process.env.BARVIK_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'],
  });
  try {
    for (const width of [1366, 390]) {
      const height = width < 500 ? 844 : 900;
      const page = await browser.newPage();
      await page.setViewport({ width, height });
      await page.setRequestInterception(true);
      page.on('request', (r) => (r.url().startsWith('file://') ? r.continue() : r.abort()));
      for (const [label, file] of targets) {
        await page.goto(pathToFileURL(path.join(report, 'site', file)).href, { waitUntil: 'load' });
        const out = path.join(shots, `site-${label}-${width}.png`);
        await page.screenshot({ path: out, clip: { x: 0, y: 0, width, height } });
        console.error(`wrote ${path.relative(process.cwd(), out)}`);
      }
      await page.close();
    }
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
