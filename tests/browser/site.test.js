// Browser checks of an exported report folder in Debian's chromium, headless, driven by
// puppeteer-core: every link and asset of every page resolves inside the folder, no page logs
// an error or asks for anything outside it, nothing is wider than a 390 px phone, the people
// table and the ranking need no sideways scrolling at 1366 px, and on a 390 px phone the people
// table shows name, kills, deaths and K/D and the ranking rank, name, skill, plus-minus and the
// sparkline, the people search finds a person by a name he no longer uses, and the sort scripts of
// both faces sort names as text and numbers as numbers.
//
// With a second report folder of a long history, its paged lists are checked at phone width:
// the pager fits, and following "next" from the first page reaches every game of games.html
// and every game of the person with the most games from his profile.
//
// Usage: node tests/browser/site.test.js REPORT_DIR [LONG_REPORT_DIR]
// (The README's pictures of the site come from scripts/site-screenshots.sh.)
'use strict';

const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const puppeteer = require('puppeteer-core');

const report = path.resolve(process.argv[2] || '');
const longReport = process.argv[3] ? path.resolve(process.argv[3]) : null;
const failures = [];
function fail(message) { failures.push(message); }
function check(condition, message) { if (!condition) fail(message); }

function inside(file) {
  const relative = path.relative(report, file);
  return relative !== '' && !relative.startsWith('..') && !path.isAbsolute(relative);
}

async function openPage(browser, width) {
  const page = await browser.newPage();
  await page.setViewport({ width, height: width < 500 ? 844 : 900 });
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    if (request.url().startsWith('file://')) {
      request.continue();
    } else {
      fail(`request outside the folder: ${request.url()}`);
      request.abort();
    }
  });
  page.on('console', (m) => { if (m.type() === 'error') fail(`${page.url()}: console: ${m.text()}`); });
  page.on('pageerror', (e) => fail(`${page.url()}: script error: ${e.message}`));
  page.on('requestfailed', (r) => {
    if (r.url().startsWith('file://')) fail(`${page.url()}: missing ${r.url()}`);
  });
  return page;
}

// Every page reachable from the two home pages, each loaded at phone width.
async function crawl(browser) {
  const page = await openPage(browser, 390);
  const queue = [path.join(report, 'index.html'), path.join(report, 'site', 'index.html')];
  const seen = new Set(queue);
  let pages = 0;
  while (queue.length) {
    const file = queue.shift();
    await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
    ++pages;
    const facts = await page.evaluate(() => ({
      width: document.documentElement.scrollWidth,
      refs: Array.from(document.querySelectorAll('[href], [src]'))
        .map((e) => e.getAttribute('href') || e.getAttribute('src')),
      title: document.title,
    }));
    const name = path.relative(report, file);
    check(facts.width <= 390, `${name} is ${facts.width} px wide on a 390 px screen`);
    if (name.startsWith('site')) check(facts.title.includes(' - '), `${name} has a plain title`);
    for (const ref of facts.refs) {
      if (ref.startsWith('#')) continue;
      if (/^[a-z]+:/i.test(ref)) {
        // The classic footer's link to the maker's site is the only address outside.
        if (!name.startsWith('site') && ref.startsWith('https://barvik.example.org')) continue;
        fail(`${name} links outside the folder: ${ref}`);
        continue;
      }
      const target = path.resolve(path.dirname(file), decodeURI(ref.split('#')[0]));
      if (!inside(target) || !fs.existsSync(target)) {
        fail(`${name} refers to ${ref}, which is not in the folder`);
      } else if (target.endsWith('.html') && !seen.has(target)) {
        seen.add(target);
        queue.push(target);
      }
    }
  }
  await page.close();
  return pages;
}

async function names(page, selector) {
  return page.$$eval(selector, (rows) => rows.map((r) => r.cells[0].textContent.trim()));
}
function order(list, wanted) { return list.filter((n) => wanted.includes(n)); }
const NAMES = ['33', 'älf', 'bob', 'n/a'];
// The site shows names as written, the classic pages folded to lower case.
const SITE_NAMES = ['33', 'Älf', 'bob', 'n/a'];

// The first table `selector` of a site page: at 1366 px all `columns` of it without sideways
// scrolling, at 390 px the `phone` columns without it.
async function tableFits(browser, width, file, selector, phone, columns) {
  const page = await openPage(browser, width);
  await page.goto(pathToFileURL(path.join(report, 'site', file)).href);
  const facts = await page.evaluate((selector) => {
    const table = document.querySelector(selector);
    if (!table) return null;
    const head = Array.from(table.querySelectorAll('thead th'));
    return {
      page: document.documentElement.scrollWidth,
      box: table.parentElement.scrollWidth - table.parentElement.clientWidth,
      shown: head.filter((h) => h.getBoundingClientRect().width > 0).map((h) => h.textContent),
    };
  }, selector);
  if (!facts) return fail(`${file} has no ${selector}`);
  check(facts.page <= width, `${file} is ${facts.page} px wide at ${width} px`);
  check(facts.box <= 0, `${file}: ${selector} scrolls sideways by ${facts.box} px at ${width} px`);
  if (width < 500) check(facts.shown.join() === phone.join(), `${file} at ${width} px shows ${facts.shown}`);
  else check(facts.shown.length === columns, `${file} at ${width} px shows ${facts.shown}`);
  await page.close();
}

async function siteChecks(browser) {
  for (const width of [1366, 390]) {
    await tableFits(browser, width, 'people.html', '#people', ['Name', 'Kills', 'Deaths', 'K/D'], 12);
    await tableFits(browser, width, 'ranking.html', 'table.rk',
      ['Rank', 'Name', 'Skill', '\u00b1', 'Last 20 games'], 7);
  }
  const page = await openPage(browser, 1366);
  await page.goto(pathToFileURL(path.join(report, 'site', 'people.html')).href);
  const body = '#people tbody tr';
  const search = async (text) => {
    await page.$eval('#filter', (e, t) => { e.value = t; e.dispatchEvent(new Event('input')); }, text);
    return page.$$eval(body, (rows) =>
      rows.filter((r) => !r.hidden).map((r) => r.cells[0].textContent.trim()));
  };

  await page.type('#filter', 'BO');
  const shown = await page.$$eval(body, (rows) =>
    rows.filter((r) => !r.hidden).map((r) => r.cells[0].textContent.trim()));
  check(shown.includes('bob'), `search "BO" hides bob: ${shown}`);
  const accented = await search('alf');
  check(accented.join() === 'Älf', `search "alf" ignores accents and case: ${accented}`);
  // He is shown by the name he used most; his first name still finds him.
  const renamed = await search('rainbows');
  check(renamed.join() === 'Pine - toyotas', `search "rainbows" shows ${renamed}`);
  await search('');

  await page.click('#people thead th:nth-child(1) button');
  const list = await names(page, body);
  check(order(list, SITE_NAMES).join() === SITE_NAMES.join(),
    `site: by name gives ${order(list, SITE_NAMES)}`);
  check(list[list.length - 1] === 'n/a', 'site: "n/a" is not last by name');

  await page.click('#people thead th:nth-child(2) button');
  const kills = await page.$$eval(body, (rows) => rows.map((r) => Number(r.cells[1].textContent)));
  check(kills.every((k, i) => i === 0 || kills[i - 1] >= k), `site: kills not descending: ${kills}`);
  // "Time played" sorts by the time, not by its text.
  await page.click('#people thead th:nth-child(9) button');
  const times = await page.$$eval(body, (rows) => rows.map((r) => {
    const m = /^(?:(\d+) h (\d+)|(\d+) min)$/.exec(r.cells[8].textContent.trim());
    return m ? (m[3] !== undefined ? Number(m[3]) : Number(m[1]) * 60 + Number(m[2])) : NaN;
  }));
  check(times.every((t, i) => !Number.isNaN(t) && (i === 0 || times[i - 1] >= t)),
    `site: time played not descending: ${times}`);
  await page.close();
}

async function classicChecks(browser) {
  const page = await openPage(browser, 1366);
  await page.goto(pathToFileURL(path.join(report, 'players.html')).href);
  const rows = 'table.sortable tr:not(:first-child):not(.filler)';
  const captions = () => page.$$eval(rows, (r) => r.map((x) => x.cells[1].textContent.trim()));
  const totalAt = async () => (await captions()).indexOf('A  L  L');

  const before = await totalAt();
  check(before >= 0, 'classic: no total row');
  await page.click('table.sortable tr:first-child td:nth-child(2)');  // "Name"
  const list = await captions();
  check(order(list, NAMES).join() === NAMES.join(), `classic: by name gives ${order(list, NAMES)}`);
  check(list[list.length - 1] === 'n/a', 'classic: "n/a" is not last by name');
  check((await totalAt()) === before, 'classic: the total row moved');

  // The Kills heading by keyboard: focus it and press Enter.
  await page.focus('table.sortable tr:first-child td:nth-child(3)');
  await page.keyboard.press('Enter');
  const kills = await page.$$eval(rows, (r) => r.filter((x) => x.cells[0].textContent.trim() !== '')
    .map((x) => Number(x.cells[2].textContent)));
  check(kills.every((k, i) => i === 0 || kills[i - 1] >= k), `classic: kills not descending: ${kills}`);
  const sortState = await page.$eval('table.sortable tr:first-child td:nth-child(3)',
    (c) => c.getAttribute('aria-sort'));
  check(sortState === 'descending', `classic: Kills heading says ${sortState}`);
  check((await totalAt()) === before, 'classic: the total row moved on the second sort');

  // Rows beside a tall image keep their natural height: bob's ratio chart page has one turn
  // row beside a 357 px image.
  await page.goto(pathToFileURL(path.join(report, 'bobratiochart.html')).href);
  const heights = await page.$$eval('table.sortable tr:not(.filler), table.header tr',
    (r) => r.map((x) => Math.round(x.getBoundingClientRect().height)));
  check(heights.length >= 3 && heights.every((h) => h < 40),
    `classic: rows beside the chart image are ${heights} px high`);
  await page.close();
}

// Follows the "next" links of a paged list from `file` at 390 px, each page fitting the
// screen, and returns the game pages its tables `rows` link to.
async function pagedGames(browser, file, rows) {
  const page = await openPage(browser, 390);
  const games = new Set();
  let url = pathToFileURL(file).href;
  let pages = 0;
  while (url && pages < 1000) {
    await page.goto(url, { waitUntil: 'load' });
    ++pages;
    const facts = await page.evaluate((rows) => ({
      width: document.documentElement.scrollWidth,
      pager: document.querySelector('nav.pager') !== null,
      games: Array.from(document.querySelectorAll(rows)).map((a) => a.href),
      next: (document.querySelector('nav.pager a[rel=next]') || {}).href || null,
    }), rows);
    check(facts.width <= 390, `${url} is ${facts.width} px wide on a 390 px screen`);
    check(facts.pager, `${url} has no pager`);
    facts.games.forEach((g) => games.add(g));
    url = facts.next;
  }
  await page.close();
  return { games, pages };
}

async function pagedChecks(browser) {
  const site = path.join(longReport, 'site');
  const json = (file) => JSON.parse(fs.readFileSync(path.join(site, file), 'utf8'));
  const played = json('games.json').games.filter((g) => g.page !== null);
  const all = await pagedGames(browser, path.join(site, 'games.html'), 'table#games tbody th a');
  check(all.pages > 1, `games.html of ${played.length} games is not paged`);
  check(all.games.size === played.length,
    `games.html and its pages link ${all.games.size} of ${played.length} games`);
  const busiest = json('people.json').people.reduce((a, b) => (b.games > a.games ? b : a));
  const his = await pagedGames(browser, path.join(site, busiest.page), 'table.pg tbody th a');
  check(his.pages > 1, `${busiest.name}'s ${busiest.games} games are not paged`);
  check(his.games.size === busiest.games,
    `${busiest.name}'s pages link ${his.games.size} of his ${busiest.games} games`);
}

(async () => {
  if (!fs.existsSync(path.join(report, 'site', 'index.html'))) {
    console.error(`usage: node site.test.js REPORT_DIR (no site in ${report})`);
    process.exit(2);
  }
  const browser = await puppeteer.launch({
    executablePath: process.env.BARVIK_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'],
  });
  let pages = 0;
  try {
    pages = await crawl(browser);
    await siteChecks(browser);
    await classicChecks(browser);
    if (longReport) await pagedChecks(browser);
  } finally {
    await browser.close();
  }
  if (failures.length) {
    for (const f of failures.slice(0, 200)) console.error(`FAIL ${f}`);
    console.error(`browser checks: ${failures.length} failures over ${pages} pages`);
    process.exit(1);
  }
  console.error(`browser checks: ${pages} pages, every check passed`);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
