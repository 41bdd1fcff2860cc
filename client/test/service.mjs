// Runs the real service for the client's tests: a private folder tree, the
// virtual scanner, generation 2 on a free port. SCANBRIDGE_EXE names the
// executable (CTest sets it).
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { before, after } from 'node:test';

export const executable = process.env.SCANBRIDGE_EXE;

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

export class Service {
  constructor() {
    this.root = mkdtempSync(join(tmpdir(), 'sbclient-'));
    this.configDir = join(this.root, 'config');
    this.documentsDir = join(this.root, 'documents');
    this.tmpDir = join(this.root, 'tmp');
    for (const dir of [this.configDir, this.documentsDir, this.tmpDir]) mkdirSync(dir, { mode: 0o700 });
    this.process = null;
    this.log = '';
  }

  // Writes one INI file of the configuration folder.
  writeConfig(file, sections) {
    const text = Object.entries(sections)
      .map(([section, keys]) => `[${section}]\n` + Object.entries(keys).map(([k, v]) => `${k}=${v}\n`).join(''))
      .join('\n');
    writeFileSync(join(this.configDir, file), text, { mode: 0o600 });
  }

  // Starts the service (on this.port, chosen at the first start) and
  // resolves once it listens.
  async start(virtual = {}) {
    if (!this.port) this.port = await freePort();
    this.writeConfig('config2.ini', { connect: { port: this.port } });
    this.writeConfig('config.ini', { virtual: { page_delay_ms: 10, ...virtual } });
    this.log = '';
    const child = spawn(executable, [], {
      env: {
        ...process.env,
        SCANBRIDGE_CONFIG_DIR: this.configDir + '/',
        SCANBRIDGE_DOCUMENTS_DIR: this.documentsDir + '/',
        SCANBRIDGE_TMP_DIR: this.tmpDir + '/',
        SCANBRIDGE_DRIVER: 'virtual',
      },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    this.process = child;
    this.exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
    const listening = `open webserver success, port=${this.port}`;
    await new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`service did not start:\n${this.log}`)), 90000);
      const collect = (chunk) => {
        this.log += chunk;
        if (this.log.includes(listening)) {
          clearTimeout(timer);
          resolve();
        }
      };
      child.stdout.on('data', collect);
      child.stderr.on('data', collect);
      child.on('exit', () => reject(new Error(`service exited:\n${this.log}`)));
    });
  }

  get url() {
    return `ws://127.0.0.1:${this.port}/`;
  }

  // Stops the service gracefully and resolves with its exit status.
  async stop() {
    if (!this.process) return { code: 0 };
    this.process.kill('SIGTERM');
    const status = await this.exited;
    this.process = null;
    return status;
  }

  async dispose() {
    await this.stop();
    rmSync(this.root, { recursive: true, force: true });
  }
}

// The service the tests of one file share: started before them, and stopped
// after them, which must succeed (exit status 0: the sanitizers found
// nothing either).
export function serviceForTheseTests(virtual = { sheets: 3 }) {
  const service = new Service();
  before(() => service.start(virtual));
  after(async () => {
    const status = await service.stop();
    const log = service.log;
    await service.dispose();
    assert.deepEqual(status, { code: 0, signal: null }, log);
  });
  return service;
}
