// The demo shop behind Apache httpd, over plain HTTP: the start page and
// the two programs are served, GET commands reach tavra as command-line
// words, and nothing else of the install tree can be fetched.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { openShop, filesIn } from './shop.mjs';

let shop;
let basket; // the basket made by the first test, used by the later ones

before(async () => { shop = await openShop('server'); });
after(async () => { await shop?.stop(); });

const get = (p, options = {}) => fetch(new URL(p, shop.url), { redirect: 'manual', ...options });

test('the start page, its style sheet and pictures are served', async () => {
  let r = await get('/');
  assert.equal(r.status, 200);
  assert.match(r.headers.get('content-type'), /^text\/html/);
  assert.match(await r.text(), /href="tavra\.exe\?newbasket\+shop\.html"/);
  r = await get('/shop.css');
  assert.equal(r.status, 200);
  assert.match(r.headers.get('content-type'), /^text\/css/);
  r = await get('/images/teapot.svg');
  assert.equal(r.status, 200);
  assert.equal(r.headers.get('content-type'), 'image/svg+xml');
});

test('GET commands reach tavra through Apache as command-line words', async () => {
  let r = await get('/tavra.exe?newbasket+shop.html');
  assert.equal(r.status, 200);
  const cookie = r.headers.get('set-cookie');
  assert.match(cookie, /^TAVRA=basket\/-?\d+\.-?\d+\.bsk; path=\//);
  basket = cookie.slice('TAVRA='.length, cookie.indexOf(';'));
  let page = await r.text();
  assert.ok(page.includes('<h3>Green tea Sencha, 100 g</h3>'), 'item tag laid out by card.sty');
  assert.ok(page.includes(`<input type="hidden" name="basket" value="${basket}">`), '{SHOPPER} replaced');
  assert.ok(!fs.existsSync(path.join(shop.dir, 'data/baskets', basket)), 'newbasket makes no file');

  // The "Add one" link of row.sty: six words, the basket name among them.
  const link = page.match(/href="(tavra\.exe\?lookup\+[^"]+\+300\+items\.ini\+1)"/);
  assert.ok(link, 'lookup link of item 300');
  page = await (await get('/' + link[1])).text();
  assert.match(page, /<td align=left bgcolor=#CEE7E7>Paper tea filters, pack of 100<\/td>/);

  r = await get(`/tavra.exe?lookup+shop.html+${basket}+301+items.ini+3`);
  page = await r.text();
  assert.match(page, /<input type=text name=2 value="3" size=4><\/td><td align=right bgcolor=#CEE7E7>301<\/td>/);
  const file = fs.readFileSync(path.join(shop.dir, 'data/baskets', basket), 'utf8');
  assert.match(file, /\[2\]\r?\nNAME=Bamboo tea scoop\r?\nITEM=301\r?\nPRICE=4\.20\r?\nSHIP=0\.80\r?\nQUANTITY=3/);

  r = await get('/tavra.exe?info');
  assert.match(await r.text(), new RegExp(`Web Directory is ${shop.dir}/pages/<br>`));
  r = await get('/tavra.exe?kill');
  assert.equal(await r.text(), 'Allocated for remote shutdown\n');
  // A query with "=" carries no words: no command.
  r = await get('/tavra.exe?info=1');
  assert.match(await r.text(), /<h1>Tavra Qel v1\.1<\/h1>/);
});

// Every file of the install tree outside web/, and the folders that hold
// them, asked for under the names a visitor could guess.
function guessedUrls() {
  const urls = new Set(['/data/', '/baskets/', '/baskets/basket/', '/mail/', '/batch/', '/exports/', '/outbox/',
    '/logs/', '/cgi-bin/', '/server/', '/pages/', '/styles/', '/tavra.exe/', '/tavra.exe/tavra.cfg',
    '/ship.exe/../tavra.cfg', '/%2e%2e/cgi-bin/tavra.cfg', '/images/../../cgi-bin/tavra.cfg']);
  const walk = (rel) => {
    for (const entry of fs.readdirSync(path.join(shop.dir, rel), { withFileTypes: true })) {
      const r = path.posix.join(rel, entry.name);
      if (entry.isDirectory()) {
        walk(r);
        continue;
      }
      const parts = r.split('/');
      if (parts[0] === 'cgi-bin' && /^(tavra|ship)\.exe$/.test(entry.name)) continue;
      urls.add('/' + r);
      urls.add('/' + parts.slice(1).join('/'));
      urls.add('/' + entry.name);
    }
  };
  for (const top of ['cgi-bin', 'data', 'pages', 'styles', 'server']) walk(top);
  return [...urls];
}

test('baskets, order mail, batch files, order tables, logs and settings are not served', async () => {
  assert.ok(basket, 'a basket from the test before');
  // A confirmed order fills every data folder (the basket has no shopper's
  // address, so only the merchant's copy is mailed). An order is made only
  // from a basket whose summary was shown.
  const summary = await get('/tavra.exe', {
    method: 'POST',
    headers: { 'content-type': 'application/x-www-form-urlencoded' },
    body: `command=step4&where=summary.html&agent=predetermined&basket=${encodeURIComponent(basket)}`,
  });
  assert.match(await summary.text(), /Please check your order/);
  const r = await get('/tavra.exe', {
    method: 'POST',
    headers: { 'content-type': 'application/x-www-form-urlencoded' },
    body: `command=confirm&basket=${encodeURIComponent(basket)}`,
  });
  assert.equal(r.status, 302);
  assert.equal(r.headers.get('location'), `${shop.url}thanks.html`);
  for (const [folder, count] of [['data/mail', 1], ['data/batch', 1], ['data/exports', 3], ['cgi-bin/outbox', 1]])
    assert.equal(filesIn(path.join(shop.dir, folder)).length, count, folder);
  for (const name of ['tavra.cfg', 'runlog.txt', 'batchcfg.ini', 'blat.exe'])
    assert.ok(fs.existsSync(path.join(shop.dir, 'cgi-bin', name)), name);

  const urls = guessedUrls();
  assert.ok(urls.length > 40, `${urls.length} addresses`);
  for (const u of urls) {
    const answer = await get(u);
    const body = await answer.text();
    assert.ok([403, 404].includes(answer.status), `${u} answered ${answer.status}`);
    assert.ok(!body.includes('[Program Config]') && !body.includes('NumKeys'), u);
  }
});

test('a request that climbs out of the document root is refused', async () => {
  // Sent as written: a browser or fetch would remove the "..".
  for (const target of ['/../cgi-bin/tavra.cfg', '/../data/batch/0.imp', '/images/../../cgi-bin/runlog.txt']) {
    const reply = await new Promise((resolve, reject) => {
      const socket = net.connect(shop.port, '127.0.0.1');
      let text = '';
      socket.on('data', (d) => { text += d; });
      socket.on('end', () => resolve(text));
      socket.on('error', reject);
      socket.write(`GET ${target} HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n`);
    });
    assert.match(reply, /^HTTP\/1\.[01] (400|403|404) /, target);
    assert.ok(!reply.includes('[Program Config]') && !reply.includes('Config File='), target);
  }
});

test('SIGTERM stops demo/serve and its server', async () => {
  const pid = Number(fs.readFileSync(path.join(shop.dir, 'server/httpd.pid'), 'utf8'));
  assert.ok(pid > 0);
  process.kill(pid, 0); // running now
  assert.equal(await shop.stop(), 0);
  assert.throws(() => process.kill(pid, 0), { code: 'ESRCH' });
  await assert.rejects(fetch(shop.url));
});
