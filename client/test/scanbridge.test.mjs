// The client against the real service: every command has a method, a scan
// runs through scan(), refusals and time-outs reject with what a page needs,
// a scan error throws after the pages before it, and the connection comes
// back after the service restarts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, existsSync } from 'node:fs';
import WebSocket from 'ws';
import { connect, COMMANDS, EVENTS, methodName, ScanBridge, ScanBridgeError } from '../scanbridge.js';
import { serviceForTheseTests, executable } from './service.mjs';

const options = { WebSocket, timeout: 60000, reconnectDelay: 100, maxReconnectDelay: 500 };

function nextEvent(bridge, type, predicate = () => true) {
  return new Promise((resolve) => {
    const listener = (event) => {
      if (!predicate(event.detail)) return;
      bridge.removeEventListener(type, listener);
      resolve(event.detail);
    };
    bridge.addEventListener(type, listener);
  });
}

test('every command of the service has a method and a declaration', () => {
  const served = execFileSync(executable, ['--list-commands'], { encoding: 'utf8' }).trim().split('\n');
  assert.deepEqual([...COMMANDS], served);
  const declarations = readFileSync(new URL('../scanbridge.d.ts', import.meta.url), 'utf8');
  for (const command of served) {
    assert.equal(typeof ScanBridge.prototype[methodName(command)], 'function', command);
    assert.match(declarations, new RegExp(`\\b${methodName(command)}\\(`), command);
  }
  assert.deepEqual([...EVENTS], ['device_arrive', 'device_remove', 'scan_begin', 'scan_info', 'scan_image', 'scan_end']);
});

const service = serviceForTheseTests();

test('a scan of three pages through scan(), with device events', async () => {
  const bridge = await connect(service.url, options);
  try {
    const arrived = nextEvent(bridge, 'device_arrive');
    await bridge.initDevice();
    assert.equal((await arrived).device_name, 'Virtual Scanner');
    const { device_name_list } = await bridge.getDeviceNameList();
    assert.deepEqual(device_name_list, ['Virtual Scanner']);
    await bridge.openDevice({ device_name: device_name_list[0] });

    const begun = nextEvent(bridge, 'scan_begin');
    const pages = [];
    for await (const page of bridge.scan({ get_base64: true })) pages.push(page);
    await begun;
    assert.equal(pages.length, 3);
    for (const page of pages) {
      assert.ok(existsSync(page.image_path), page.image_path);
      assert.match(page.image_base64, /^data:image\/jpeg;base64,\/9j\//);
    }
    assert.equal(new Set(pages.map((page) => page.image_path)).size, 3);
  } finally {
    bridge.close();
  }
});

test('refusals reject with ret, err_info and err_detail; silence rejects with a time-out', async () => {
  const bridge = await connect(service.url, options);
  try {
    // Calls in flight at once are matched to their own replies.
    const [count, refused] = await Promise.allSettled([
      bridge.getImageCount(),
      bridge.loadImage({ image_index: 7 }),
    ]);
    assert.equal(count.value.func, 'get_image_count');
    assert.equal(typeof count.value.image_count, 'number');
    assert.ok(refused.reason instanceof ScanBridgeError);
    assert.equal(refused.reason.reason, 'refused');
    assert.equal(refused.reason.func, 'load_image');
    assert.equal(refused.reason.ret, -1);
    assert.equal(refused.reason.err_info, '错误');
    assert.match(refused.reason.err_detail, /^image_index 7 is outside (0\.\.\d+|the current batch, which has no images)$/);
    assert.equal(refused.reason.message, `load_image: ${refused.reason.err_detail}`);

    // Names it does not know are refused with the reason.
    await assert.rejects(bridge.call('no_such_command'), (error) => {
      assert.equal(error.reason, 'refused');
      assert.equal(error.err_detail, 'unknown command "no_such_command" (names are case-sensitive)');
      return true;
    });
    // A message without a string "func" gets no reply at all.
    await assert.rejects(bridge.call(42, {}, { timeout: 300 }), (error) => {
      assert.equal(error.reason, 'timeout');
      assert.equal(error.err_detail, 'no reply within 300 ms');
      return true;
    });
  } finally {
    bridge.close();
  }
});

test('a jammed scan yields the pages before the jam, then throws', async () => {
  const bridge = await connect(service.url, options);
  try {
    await bridge.initDevice().catch(() => {});  // started by an earlier test
    await bridge.openDevice().catch(() => {});
    service.writeConfig('config.ini', { virtual: { page_delay_ms: 10, sheets: 3, jam_after: 1 } });
    const pages = [];
    await assert.rejects(
      (async () => {
        for await (const page of bridge.scan()) pages.push(page);
      })(),
      (error) => {
        assert.ok(error instanceof ScanBridgeError);
        assert.equal(error.reason, 'scan');
        assert.equal(error.ret, -1);
        assert.ok(error.err_info.length > 0);
        return true;
      },
    );
    assert.equal(pages.length, 1);
  } finally {
    service.writeConfig('config.ini', { virtual: { page_delay_ms: 10, sheets: 3 } });
    bridge.close();
  }
});

test('the client reconnects after the service restarts', async () => {
  const bridge = await connect(service.url, options);
  try {
    await bridge.getImageCount();
    const dropped = nextEvent(bridge, 'disconnect');
    assert.deepEqual(await service.stop(), { code: 0, signal: null }, service.log);
    await dropped;
    assert.equal(bridge.connected, false);

    // A call made while the service is down waits for the connection.
    const waiting = bridge.getCurrBatchId();
    const reconnected = nextEvent(bridge, 'connect');
    await service.start({ sheets: 3 });
    await reconnected;
    assert.equal(typeof (await waiting).batch_id, 'string');
    assert.equal(bridge.connected, true);
  } finally {
    bridge.close();
  }
});
