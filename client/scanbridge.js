// ScanBridge client: talks to the scanner service over its WebSocket.
//
//   import { connect } from './scanbridge.js';
//   const bridge = await connect('ws://127.0.0.1:38999/');
//   await bridge.initDevice();
//   await bridge.openDevice();
//   for await (const page of bridge.scan({ get_base64: true })) show(page.image_base64);
//
// Every command is a method named after it in camel case (get_device_name_list
// becomes getDeviceNameList) that takes the command's members and resolves with
// the reply, or rejects with a ScanBridgeError carrying `ret`, `err_info` and
// `err_detail`.
// Events are dispatched as CustomEvents whose `detail` is the message. The
// connection comes back by itself when the service restarts.

/** The service's commands, in the service's own order. */
export const COMMANDS = Object.freeze([
  'set_global_config', 'get_global_config', 'load_local_image', 'save_local_image',
  'delete_local_file', 'clear_global_file_save_path',
  'merge_local_image', 'merge_base64_image', 'merge_image',
  'local_make_multi_image', 'base64_make_multi_image', 'make_multi_image',
  'split_local_image', 'split_base64_image', 'split_image',
  'local_make_zip_file', 'base64_make_zip_file', 'make_zip_file',
  'local_image_deskew', 'base64_image_deskew', 'image_deskew',
  'local_image_add_watermark', 'base64_image_add_watermark', 'image_add_watermark',
  'local_image_decontamination', 'base64_image_decontamination', 'image_decontamination',
  'local_image_direction_correct', 'base64_image_direction_correct', 'image_direction_correct',
  'local_image_clip', 'base64_image_clip', 'image_clip',
  'upload_image', 'upload_local_file', 'upload_image_base64',
  'init_device', 'deinit_device', 'get_device_name_list', 'open_device', 'close_device',
  'set_device_param', 'get_device_param', 'reset_device_param', 'get_curr_device_name',
  'start_scan', 'stop_scan',
  'get_batch_id_list', 'open_batch', 'delete_batch', 'new_batch', 'get_curr_batch_id',
  'modify_batch_id', 'bind_folder', 'stop_bind_folder',
  'get_image_thumbnail_list', 'get_image_count', 'load_image', 'save_image',
  'insert_local_image', 'insert_image', 'modify_image_tag', 'delete_image', 'clear_image_list',
  'modify_image', 'modify_image_by_local', 'move_image', 'exchange_image', 'image_book_sort',
]);

/** The messages the service sends unasked. */
export const EVENTS = Object.freeze([
  'device_arrive', 'device_remove', 'scan_begin', 'scan_info', 'scan_image', 'scan_end',
]);

export const DEFAULT_URL = 'ws://127.0.0.1:38999/';

/** get_device_name_list -> getDeviceNameList */
export function methodName(command) {
  return command.replace(/_([a-z0-9])/g, (_, letter) => letter.toUpperCase());
}

/**
 * Why a call or a scan failed. `reason` is "refused" (the service answered
 * with a non-zero `ret`), "timeout", "disconnected" or "scan" (the scan ended
 * with an error; `err_info` holds the scanner's text). `err_detail` is the
 * service's reason in plain words ("no scanner is open") and the error's
 * message; without a reply it repeats the client's own message.
 */
export class ScanBridgeError extends Error {
  constructor(reason, func, message, reply = null) {
    const detail = reply && typeof reply.err_detail === 'string' ? reply.err_detail : message;
    super(`${func}: ${detail}`);
    this.name = 'ScanBridgeError';
    this.reason = reason;
    this.func = func;
    this.ret = reply && typeof reply.ret === 'number' ? reply.ret : -1;
    this.err_info = reply && typeof reply.err_info === 'string' ? reply.err_info : message;
    this.err_detail = detail;
    this.reply = reply;
  }
}

export class ScanBridge extends EventTarget {
  /**
   * @param {string} url the service's WebSocket address
   * @param {object} options `timeout` (ms per call, default 60000),
   *   `reconnectDelay` (ms before the first retry, default 500; doubles up to
   *   `maxReconnectDelay`, default 5000), `WebSocket` (a constructor, for
   *   environments without a global one)
   */
  constructor(url = DEFAULT_URL, options = {}) {
    super();
    this.url = url;
    this.timeout = options.timeout ?? 60000;
    this.reconnectDelay = options.reconnectDelay ?? 500;
    this.maxReconnectDelay = options.maxReconnectDelay ?? 5000;
    this._WebSocket = options.WebSocket ?? globalThis.WebSocket;
    if (!this._WebSocket) throw new TypeError('no WebSocket implementation: pass options.WebSocket');
    this._socket = null;
    this._pending = new Map();  // iden -> {func, resolve, reject, timer}
    this._nextId = 1;
    this._prefix = Math.random().toString(36).slice(2, 8);
    this._closed = true;
    this._retryTimer = null;
    this._delay = this.reconnectDelay;
    this._waiters = [];  // resolvers of calls waiting for the connection
  }

  /** True while the WebSocket is open. */
  get connected() {
    return this._socket !== null && this._socket.readyState === 1;
  }

  /**
   * Opens the connection and keeps it open: when it drops, it is made again
   * after a growing delay. Resolves once the first connection is open;
   * rejects when it cannot be opened (the retries go on).
   */
  connect() {
    this._closed = false;
    return new Promise((resolve, reject) => {
      const opened = () => { cleanup(); resolve(this); };
      const failed = () => { cleanup(); reject(new ScanBridgeError('disconnected', 'connect', `cannot connect to ${this.url}`)); };
      const cleanup = () => {
        this.removeEventListener('connect', opened);
        this.removeEventListener('connect_error', failed);
      };
      this.addEventListener('connect', opened);
      this.addEventListener('connect_error', failed);
      this._open();
    });
  }

  /** Closes the connection for good; pending calls reject. */
  close() {
    this._closed = true;
    clearTimeout(this._retryTimer);
    if (this._socket) this._socket.close();
    this._failPending('closed by the page');
  }

  /**
   * Sends a command and resolves with its reply (`ret` 0). Rejects with a
   * ScanBridgeError: the service refused it, no reply came in time, or the
   * connection dropped before the reply. A call made while the connection is
   * being made again waits for it, within the same time-out.
   */
  call(func, members = {}, options = {}) {
    return this._send(func, members, this._newIden(), options.timeout ?? this.timeout);
  }

  /**
   * Scans with the open scanner and yields each page as its `scan_image`
   * message (`image_path`, `image_base64`, `is_blank` as asked for with
   * `local_save`, `get_base64`, `blank_check`). Ends with the scan; throws a
   * ScanBridgeError when the scan cannot start or ends with an error (after
   * the pages scanned before it). Leaving the loop early stops the scan.
   */
  async *scan(options = {}) {
    const iden = this._newIden();
    const pages = [];
    let finished = false;
    let failure = null;
    let wake = null;
    const onEvent = (event) => {
      const message = event.detail;
      if (message.iden !== iden) return;
      if (message.func === 'scan_image') pages.push(message);
      if (message.func === 'scan_info' && message.is_error) {
        failure = new ScanBridgeError('scan', 'start_scan', message.info, { ret: -1, err_info: message.info });
      }
      if (message.func === 'scan_end') finished = true;
      if (wake) wake();
    };
    const onDisconnect = () => {
      failure = failure ?? new ScanBridgeError('disconnected', 'start_scan', 'the connection dropped during the scan');
      finished = true;
      if (wake) wake();
    };
    for (const name of ['scan_image', 'scan_info', 'scan_end']) this.addEventListener(name, onEvent);
    this.addEventListener('disconnect', onDisconnect);
    try {
      await this._send('start_scan', options, iden, this.timeout);
      for (;;) {
        if (pages.length > 0) {
          yield pages.shift();
          continue;
        }
        if (finished) break;
        await new Promise((resolve) => { wake = resolve; });
        wake = null;
      }
      if (failure) throw failure;
    } finally {
      for (const name of ['scan_image', 'scan_info', 'scan_end']) this.removeEventListener(name, onEvent);
      this.removeEventListener('disconnect', onDisconnect);
      if (!finished && this.connected) await this.call('stop_scan').catch(() => {});
    }
  }

  _newIden() {
    return `${this._prefix}-${this._nextId++}`;
  }

  async _send(func, members, iden, timeout) {
    const deadline = Date.now() + timeout;
    if (!this.connected) await this._waitForConnection(func, timeout);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this._pending.delete(iden);
        reject(new ScanBridgeError('timeout', func, `no reply within ${timeout} ms`));
      }, Math.max(0, deadline - Date.now()));
      this._pending.set(iden, { func, resolve, reject, timer });
      this._socket.send(JSON.stringify({ ...members, func, iden }));
    });
  }

  _waitForConnection(func, timeout) {
    if (this._closed) {
      return Promise.reject(new ScanBridgeError('disconnected', func, 'not connected: call connect() first'));
    }
    return new Promise((resolve, reject) => {
      const waiter = { resolve: () => { clearTimeout(timer); resolve(); } };
      const timer = setTimeout(() => {
        this._waiters = this._waiters.filter((w) => w !== waiter);
        reject(new ScanBridgeError('timeout', func, `not connected within ${timeout} ms`));
      }, timeout);
      this._waiters.push(waiter);
    });
  }

  _open() {
    let socket;
    try {
      socket = new this._WebSocket(this.url);
    } catch (error) {
      this._dispatch('connect_error', { error: String(error) });
      this._scheduleReconnect();
      return;
    }
    this._socket = socket;
    let opened = false;
    socket.onopen = () => {
      opened = true;
      this._delay = this.reconnectDelay;
      this._dispatch('connect', {});
      const waiters = this._waiters;
      this._waiters = [];
      for (const waiter of waiters) waiter.resolve();
    };
    socket.onmessage = (event) => this._receive(event.data);
    socket.onerror = () => {};
    socket.onclose = (event) => {
      if (this._socket === socket) this._socket = null;
      this._failPending('the connection dropped before the reply');
      if (opened) {
        this._dispatch('disconnect', { code: event.code, reason: event.reason });
      } else {
        this._dispatch('connect_error', { code: event.code });
      }
      this._scheduleReconnect();
    };
  }

  _scheduleReconnect() {
    if (this._closed) return;
    clearTimeout(this._retryTimer);
    this._retryTimer = setTimeout(() => this._open(), this._delay);
    this._delay = Math.min(this._delay * 2, this.maxReconnectDelay);
  }

  _receive(data) {
    let message;
    try {
      message = JSON.parse(typeof data === 'string' ? data : String(data));
    } catch {
      return;  // the service only sends JSON; anything else is not ours
    }
    if (message === null || typeof message !== 'object') return;
    if ('ret' in message) {
      const pending = this._pending.get(message.iden);
      if (!pending) return;
      this._pending.delete(message.iden);
      clearTimeout(pending.timer);
      if (message.ret === 0) {
        pending.resolve(message);
      } else {
        pending.reject(new ScanBridgeError('refused', pending.func, message.err_info ?? 'refused', message));
      }
      return;
    }
    if (typeof message.func === 'string') this._dispatch(message.func, message);
  }

  _failPending(why) {
    const pending = this._pending;
    this._pending = new Map();
    for (const { func, reject, timer } of pending.values()) {
      clearTimeout(timer);
      reject(new ScanBridgeError('disconnected', func, why));
    }
  }

  _dispatch(type, detail) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }
}

// One method per command: bridge.getDeviceParam(), bridge.openDevice({device_name}), ...
for (const command of COMMANDS) {
  Object.defineProperty(ScanBridge.prototype, methodName(command), {
    value: function (members = {}, options = {}) {
      return this.call(command, members, options);
    },
    writable: true,
    configurable: true,
  });
}

/** Creates a client and resolves once it is connected. */
export function connect(url = DEFAULT_URL, options = {}) {
  return new ScanBridge(url, options).connect();
}
