// Two whole purchases in headless Chromium against the demo shop served by
// Apache httpd: a basket filled in every way the shop offers, quantities
// edited, the four checkout steps (once with tavra's step 4, once with the
// shipping calculator's), confirmation, the thank-you page, and what the
// orders leave on disk. Screenshots of the basket, the summaries and the
// thank-you page go to browser-artifacts/ in the build folder.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { openShop, filesIn, artifactsDir } from './shop.mjs';

// Any one wait for the browser gives up after this many milliseconds.
const kStepTimeout = 30_000;

let shop;
let context;
let profileDir;

before(async () => {
  shop = await openShop('browser');
  fs.mkdirSync(artifactsDir, { recursive: true });
  profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavra-chromium-'));
  // Debian's Chromium, never a browser of the test tool's own.
  context = await chromium.launchPersistentContext(profileDir, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1100, height: 900 },
    timeout: 60_000,
  });
  context.setDefaultTimeout(kStepTimeout);
});

after(async () => {
  await context?.close();
  await shop?.stop();
  if (profileDir) fs.rmSync(profileDir, { recursive: true, force: true });
});

// Runs `action` and waits until the page it starts has loaded.
async function follow(page, action) {
  const navigated = page.waitForEvent('framenavigated', { predicate: (f) => f === page.mainFrame() });
  await action();
  await navigated;
  await page.waitForLoadState('load');
}

const submit = (page, form) => follow(page, () => form.locator('input[type=submit]').first().click());
const formWith = (page, name, value) => page.locator(`form:has(input[name="${name}"][value="${value}"])`);

// The lines of the basket table or of the order summary: the texts of the
// line cells, with the quantity input's value in place of the input.
async function lines(page) {
  return page.$$eval('tr', (rows) => rows
    .map((tr) => [...tr.querySelectorAll('td[bgcolor="#CEE7E7"]')]
      .map((td) => (td.querySelector('input') ? td.querySelector('input').value : td.textContent)))
    .filter((cells) => cells.length === 5));
}

// The amount in the cell after the one that reads `label` ("Total:", "Tax:", "Shipping:").
async function amount(page, label) {
  const all = await page.$$eval('td', (tds, l) => tds
    .filter((td) => td.textContent === l)
    .map((td) => td.nextElementSibling?.textContent), label);
  assert.equal(all.length, 1, `one ${label} cell`);
  return all[0];
}

const shot = (page, name) => page.screenshot({ path: path.join(artifactsDir, name), fullPage: true });

async function startBasket(page) {
  await follow(page, () => page.goto(shop.url));
  await follow(page, () => page.click('#start'));
  const basket = await page.locator('input[name=basket]').first().inputValue();
  assert.match(basket, /^basket\/-?\d+\.-?\d+\.bsk$/);
  assert.ok(!fs.existsSync(path.join(shop.dir, 'data/baskets', basket)), 'newbasket makes no file');
  return basket;
}

async function checkout(page, { person, card, option1, option2, extra, delivery }) {
  await follow(page, () => page.click('input[type=submit][value="Place Order"]'));
  assert.ok(await page.isVisible('text=1 Address'), 'wizard.html');
  for (const [name, value] of Object.entries(person)) await page.fill(`input[name=${name}]`, value);
  await submit(page, formWith(page, 'command', 'step1'));

  await page.selectOption('select[name=paytype]', card.type);
  await page.fill('input[name=cname]', card.name);
  await page.fill('input[name=cnum1]', card.number);
  await page.selectOption('select[name=expmo]', card.month);
  await page.selectOption('select[name=expyr]', card.year);
  await submit(page, formWith(page, 'command', 'step2'));

  await page.selectOption('select[name=option1]', option1);
  await page.fill('input[name=option2]', option2);
  await page.check(`input[name=${extra}]`);
  await page.check(`input[name=where][value="${delivery}"]`);
  await submit(page, formWith(page, 'command', 'step3'));
}

async function confirmOrder(page) {
  await follow(page, () => page.click('input[type=submit][value="Finalize Order"]'));
  assert.equal(page.url(), `${shop.url}thanks.html`);
  assert.equal(await page.textContent('#thanks'), 'Thank you for your order');
}

const read = (rel) => fs.readFileSync(path.join(shop.dir, rel), 'utf8');
const lastLine = (rel) => read(rel).trimEnd().split('\n').at(-1);

test('a basket filled every way, checked out with standard delivery', { timeout: 240_000 }, async () => {
  const page = await context.newPage();
  await startBasket(page);
  await shot(page, 'shop.png');

  // add2lookup through the card style sheet: price and shipping from items.ini.
  const greenTea = formWith(page, 'item', '100');
  await greenTea.locator('input[name=qty]').fill('2');
  await submit(page, greenTea);
  // GET lookup: the "Add one" link of the row style sheet.
  await follow(page, () => page.locator('table.list tr', { hasText: 'Paper tea filters' })
    .getByRole('link', { name: 'Add one' }).click());
  // add2basket through the wide style sheet, then the hand-written gift card form.
  await submit(page, formWith(page, 'item', '200'));
  const gift = formWith(page, 'item', 'GIFT');
  await gift.locator('select[name=price]').selectOption('50.00');
  await submit(page, gift);
  // add2mod: size and colour with their price changes from shirts.ini.
  await follow(page, () => page.click('nav >> text=T-shirts'));
  await page.selectOption('select[name=m1]', 'XL');
  await page.selectOption('select[name=m2]', 'Indigo');
  await submit(page, formWith(page, 'command', 'add2mod'));
  // add2check: two of three tins ticked.
  await follow(page, () => page.click('nav >> text=Sample tins'));
  await page.fill('input[name=f1]', '2');
  await page.check('input[name=f6]');
  await page.check('input[name=f18]');
  await submit(page, formWith(page, 'command', 'add2check'));

  assert.deepEqual(await lines(page), [
    ['2', '100', 'Green tea Sencha, 100 g', '8.50', '17.00'],
    ['1', '300', 'Paper tea filters, pack of 100', '2.40', '2.40'],
    ['1', '200', 'Stoneware teapot, 1 litre', '34.00', '34.00'],
    ['1', 'GIFT', 'Gift card', '50.00', '50.00'],
    ['1', 'T-400', 'Shop T-shirt ( XL, Indigo ) ', '22.00', '22.00'],
    ['2', '500', 'Sample tin Sencha, 25 g', '2.90', '5.80'],
    ['1', '502', 'Sample tin Rooibos, 25 g', '2.50', '2.50'],
  ]);
  assert.equal(await amount(page, 'Total:'), '$133.70');

  // Edit: twelve packs of filters, the gift card taken out.
  const edit = formWith(page, 'command', 'edit');
  await edit.locator('input[name="2"]').fill('12');
  await edit.locator('input[name="4"]').fill('0');
  await follow(page, () => edit.locator('input[value=Update]').click());
  const edited = await lines(page);
  assert.deepEqual(edited.map((l) => [l[0], l[1], l[4]]), [
    ['2', '100', '17.00'], ['12', '300', '28.80'], ['1', '200', '34.00'], ['1', 'T-400', '22.00'],
    ['2', '500', '5.80'], ['1', '502', '2.50']]);
  assert.equal(await amount(page, 'Total:'), '$110.10');
  await shot(page, 'basket.png');

  await checkout(page, {
    person: { fname: 'Ada', minitial: 'B', lname: 'Lovelace', addr1: '12 Leaf Lane', addr2: 'Flat 3',
      city: 'Springfield', stpr: 'IL', country: 'USA', zip: '62701', dphone: '555-0100', fphone: '555-0101',
      email: 'ada@example.com' },
    card: { type: 'Visa', name: 'Ada Lovelace', number: '4111111111111111', month: '05', year: '27' },
    option1: 'Leave the parcel at the door', option2: 'No plastic please', extra: 'a2', delivery: 'delivery.html',
  });
  // Step 4 by tavra: each line's own shipping charge, sales tax ticked.
  assert.ok(await page.isVisible('legend:text-is("Standard delivery")'), 'delivery.html');
  await page.check('input[name=agent][value=predetermined]');
  await page.check('input[name=salestax]');
  await submit(page, formWith(page, 'command', 'step4'));

  assert.ok(await page.isVisible('text=Please check your order'), 'summary.html');
  assert.ok(await page.isVisible('td:text-is("Lovelace")'));
  assert.ok(await page.isVisible('td:text-is("555-0101")'), 'fax row of tavra\'s summary');
  assert.equal((await lines(page)).length, 6 + 1, 'six lines and the gift wrapping');
  assert.ok((await lines(page)).some((l) => l[1] === 'Addition' && l[2] === 'Gift wrapping' && l[3] === '4.50'));
  // Shipping 2 x 1.20 + 12 x 0.30 + 6.00 + 2.00 + 2 x 0.40 + 0.40; tax 8% of 110.10.
  assert.equal(await amount(page, 'Shipping:'), '15.20');
  assert.equal(await amount(page, 'Tax:'), '8.81');
  assert.equal(await amount(page, 'Total:'), '$138.61');
  await shot(page, 'summary-standard.png');

  await confirmOrder(page);
  await shot(page, 'thanks.png');

  // What the order left on disk.
  const mails = filesIn(path.join(shop.dir, 'data/mail'));
  assert.equal(mails.length, 1);
  const mail = read(`data/mail/${mails[0]}`);
  for (const part of ['Invoice Number :1001\n', 'Agreed upon price of :138.61\n', 'Ship via :predetermined\n',
    'Tax :8.81\n', 'Ada B Lovelace\n', 'Springfield, IL USA\n', 'Leave the parcel at the door\n',
    'Gift wrapping=4.50\n', 'Shop T-shirt ( XL, Indigo ) \tT-400\t\t1\t\n'])
    assert.ok(mail.includes(part), `order mail holds ${JSON.stringify(part)}`);
  const sent = filesIn(path.join(shop.dir, 'cgi-bin/outbox')).map((n) => read(`cgi-bin/outbox/${n}`));
  assert.deepEqual(sent.map((m) => m.match(/^To: (.*)\r$/m)[1]).sort(),
    ['<ada@example.com>', '<orders@teashop.example>']);
  for (const m of sent) assert.ok(m.includes('\r\n\r\nTavra Order Processed for Merchant The Little Tea Shop\r\n'));

  assert.equal(read('data/exports/customers.csv'), '1001,Ada,B,Lovelace,12 Leaf Lane,Flat 3,Springfield,IL,USA,' +
    '62701,555-0100,555-0101,ada@example.com,Ada Lovelace,4111111111111111,,05,27,predetermined\n');
  assert.equal(read('data/exports/orders.csv').split('\n').filter((l) => l.startsWith('1001,')).length, 7);
  assert.ok(read('data/exports/orders.csv').includes('1001,"Paper tea filters, pack of 100",300,2.40,0.30,12\n'));
  assert.equal(read('data/exports/shipments.csv'), '1001,Leave the parcel at the door,8.81,138.61,,,\n' +
    '1001,No plastic please,8.81,138.61,,,\n1001,,,,4.50,,Gift wrapping\n1001,,,,,,\n');
  assert.equal(read('data/batch/0.imp'), '4111111111111111,0527,P,138.61\n');
  assert.match(read('cgi-bin/batchcfg.ini'), /File=0\r?\nLast=1/);
  assert.match(read('cgi-bin/tavra.cfg'), /^invnumber=1001$/m);
  await page.close();
});

test('a second order with saver delivery worked out by the shipping calculator', { timeout: 240_000 }, async () => {
  const page = await context.newPage();
  await startBasket(page);
  const blackTea = formWith(page, 'item', '101');
  await blackTea.locator('input[name=qty]').fill('3');
  await submit(page, blackTea);
  await follow(page, () => page.locator('table.list tr', { hasText: 'Bamboo tea scoop' })
    .getByRole('link', { name: 'Add one' }).click());
  await submit(page, formWith(page, 'item', '200'));
  const edit = formWith(page, 'command', 'edit');
  await edit.locator('input[name="2"]').fill('6');
  await follow(page, () => edit.locator('input[value=Update]').click());
  assert.equal(await amount(page, 'Total:'), '$82.90');

  await checkout(page, {
    person: { fname: 'Grace', lname: 'Hopper', addr1: '1 Harbour Road', city: 'Arlington', stpr: 'VA',
      zip: '22201', dphone: '555-0198', fphone: '555-0199', email: 'grace@example.com' },
    card: { type: 'MasterCard', name: 'Grace Hopper', number: '5500000000000004', month: '11', year: '28' },
    option1: 'Leave the parcel with a neighbour', option2: '', extra: 'a5', delivery: 'saver.html',
  });
  assert.ok(await page.isVisible('legend:text-is("Saver delivery")'), 'saver.html');
  await submit(page, formWith(page, 'command', 'step4'));

  assert.equal(new URL(page.url()).pathname, '/ship.exe');
  assert.ok(await page.isVisible('text=Please check your order'), 'summary.html');
  // The shipping calculator's summary leaves the fax number out.
  assert.ok(await page.isVisible('td:text-is("555-0198")'));
  assert.equal(await page.locator('td:text-is("555-0199")').count(), 0);
  // Rules of items.ini: 3.00 + 2 x 0.50 for the tea, 6 scoops at the bulk
  // rate of 0.30, a tenth of the teapot's 34.00; no sales tax.
  assert.equal(await amount(page, 'Shipping:'), '9.20');
  assert.equal(await amount(page, 'Tax:'), '0.00');
  assert.ok((await lines(page)).some((l) => l[2] === 'Express packing' && l[4] === '9.00'));
  assert.equal(await amount(page, 'Total:'), '$101.10');
  await shot(page, 'summary-saver.png');

  await confirmOrder(page);

  const mails = filesIn(path.join(shop.dir, 'data/mail'));
  assert.equal(mails.length, 2);
  const mail = mails.map((n) => read(`data/mail/${n}`)).find((m) => m.includes('Invoice Number :1002\n'));
  assert.ok(mail, 'order mail of invoice 1002');
  for (const part of ['Agreed upon price of :101.10\n', 'Ship via :lookup\n', 'Tax :0.00\n', 'Express packing=9.00\n'])
    assert.ok(mail.includes(part), `order mail holds ${JSON.stringify(part)}`);
  const sent = filesIn(path.join(shop.dir, 'cgi-bin/outbox')).map((n) => read(`cgi-bin/outbox/${n}`));
  assert.equal(sent.length, 4);
  assert.equal(sent.filter((m) => m.includes('\r\nTo: <grace@example.com>\r\n')).length, 1);
  assert.match(lastLine('data/exports/customers.csv'), /^1002,Grace,,Hopper,1 Harbour Road,/);
  assert.match(lastLine('data/exports/customers.csv'), /,5500000000000004,,11,28,lookup$/);
  assert.equal(lastLine('data/batch/0.imp'), '5500000000000004,1128,P,101.10');
  assert.match(read('cgi-bin/batchcfg.ini'), /File=0\r?\nLast=2/);
  assert.match(read('cgi-bin/tavra.cfg'), /^invnumber=1002$/m);
  await page.close();
});
