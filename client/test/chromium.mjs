// Debian's Chromium, headless, driven through its DevTools protocol over a
// WebSocket (the ws package): open a page, evaluate expressions in it, take
// screenshots.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import WebSocket from 'ws';

const candidates = ['/usr/bin/chromium', '/usr/bin/chromium-browser', '/usr/bin/google-chrome'];
export const chromiumPath = process.env.CHROMIUM ?? candidates.find((path) => existsSync(path));

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export class Browser {
  async launch(url) {
    this.profile = mkdtempSync(join(tmpdir(), 'sbchromium-'));
    this.process = spawn(chromiumPath, [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--window-size=1280,900',
      '--remote-debugging-port=0', `--user-data-dir=${this.profile}`, url,
    ], { stdio: 'ignore' });
    const portFile = join(this.profile, 'DevToolsActivePort');
    for (let i = 0; i < 300 && !existsSync(portFile); ++i) await sleep(100);
    const port = readFileSync(portFile, 'utf8').split('\n')[0];
    let target;
    for (let i = 0; i < 100 && !target; ++i) {
      const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
      target = targets.find((t) => t.type === 'page');
      if (!target) await sleep(100);
    }
    this.socket = new WebSocket(target.webSocketDebuggerUrl);
    await new Promise((resolve, reject) => { this.socket.on('open', resolve); this.socket.on('error', reject); });
    this.nextId = 1;
    this.pending = new Map();
    this.socket.on('message', (data) => {
      const message = JSON.parse(String(data));
      const waiter = this.pending.get(message.id);
      if (!waiter) return;
      this.pending.delete(message.id);
      if (message.error) waiter.reject(new Error(JSON.stringify(message.error)));
      else waiter.resolve(message.result);
    });
  }

  send(method, params = {}) {
    const id = this.nextId++;
    this.socket.send(JSON.stringify({ id, method, params }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  // The value of an expression in the page (awaited when it is a promise).
  async evaluate(expression) {
    const result = await this.send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
    if (result.exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(result.exceptionDetails)}`);
    return result.result.value;
  }

  // Waits until the expression is truthy in the page; returns its value.
  async waitFor(expression, timeout = 90000) {
    const deadline = Date.now() + timeout;
    for (;;) {
      const value = await this.evaluate(expression).catch(() => undefined);
      if (value) return value;
      if (Date.now() > deadline) throw new Error(`timed out waiting for ${expression}`);
      await sleep(100);
    }
  }

  async screenshot() {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    return Buffer.from(data, 'base64');
  }

  async close() {
    this.socket?.close();
    this.process?.kill('SIGTERM');
    await new Promise((resolve) => this.process?.on('exit', resolve) ?? resolve());
    // Chromium's helper processes may still be writing to the profile for a
    // moment after the browser itself exits; Node retries on ENOTEMPTY.
    rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  }
}
