// The demo shop for a test: demo/serve on a free loopback port, with its
// own install tree under the build folder, stopped again when the test ends.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
// The build folder of tests/run_all.sh unless TAVRA_BUILD_DIR names another.
export const buildDir = path.resolve(process.env.TAVRA_BUILD_DIR || path.join(repo, 'build'));
export const artifactsDir = path.join(buildDir, 'browser-artifacts');

// Give up on a shop that has not opened in this many milliseconds (it may
// have to build the programs first).
const kOpenTimeout = 180_000;
// demo/serve is killed outright when it has not stopped after SIGTERM within this.
const kStopTimeout = 15_000;

// Shops still open. demo/serve stops its server when it gets SIGTERM, so a
// test run that ends early, or is ended, sends it that and leaves nothing
// behind.
const running = new Set();
const stopAll = () => { for (const child of running) child.kill('SIGTERM'); };
process.once('exit', stopAll);
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.once(signal, () => {
    stopAll();
    process.exit(1);
  });
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.unref();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Opens a shop in a fresh install tree in the system's temporary folder,
// which the server's unprivileged user can reach wherever the repository
// lies. Resolves to { url, dir, port, stop, log }; stop() also removes the
// tree unless TAVRA_KEEP_SHOP is set.
export async function openShop(name) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `tavra-${name}-shop-`));
  fs.chmodSync(dir, 0o755);
  const port = await freePort();
  const child = spawn(path.join(repo, 'demo/serve'), [String(port)], {
    env: { ...process.env, TAVRA_BUILD_DIR: buildDir, TAVRA_SHOP_DIR: dir },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let log = '';
  child.stdout.on('data', (d) => { log += d; });
  child.stderr.on('data', (d) => { log += d; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));

  const opened = await new Promise((resolve) => {
    const timer = setTimeout(() => resolve(false), kOpenTimeout);
    const check = () => {
      if (log.includes('the shop is open at')) { clearTimeout(timer); resolve(true); }
    };
    child.stdout.on('data', check);
    exited.then(() => { clearTimeout(timer); resolve(false); });
  });

  const removeTree = () => {
    if (!process.env.TAVRA_KEEP_SHOP) fs.rmSync(dir, { recursive: true, force: true });
  };
  // Resolves to demo/serve's exit status (null when it had to be killed).
  const stop = async () => {
    if (child.exitCode !== null || child.signalCode !== null) {
      removeTree();
      return child.exitCode;
    }
    child.kill('SIGTERM');
    const stopped = await Promise.race([exited.then(() => true),
      new Promise((r) => setTimeout(() => r(false), kStopTimeout))]);
    if (!stopped) {
      child.kill('SIGKILL');
      // Apache runs in its own session; end it through its pid file.
      try {
        const pid = Number(fs.readFileSync(path.join(dir, 'server/httpd.pid'), 'utf8'));
        if (pid > 0) process.kill(pid, 'SIGTERM');
      } catch { /* already gone */ }
    }
    removeTree();
    return child.exitCode;
  };
  running.add(child);
  child.on('exit', () => running.delete(child));

  if (!opened) {
    await stop();
    throw new Error(`demo/serve did not open the shop:\n${log}`);
  }
  return { url: `http://127.0.0.1:${port}/`, dir, port, stop, log: () => log };
}

// The files of a folder of the install tree, by name (none when it is missing).
export function filesIn(dir) {
  try {
    return fs.readdirSync(dir).filter((n) => !n.startsWith('.')).sort();
  } catch {
    return [];
  }
}
