// The demo page: scanners with hot-plug, an options form built from the
// scanner's option list, scans whose pages appear as they come, the current
// batch as a grid (drag to reorder, edit, delete), exports and upload. Every
// action is one or two calls of the client library.
import { ScanBridge, ScanBridgeError } from '/demo/scanbridge.js';

const $ = (selector) => document.querySelector(selector);
const serviceUrl = `ws://${location.host}/`;
const bridge = new ScanBridge(serviceUrl);

let openScanner = '';
let options = [];  // the scanner's options, as get_device_param lists them
let selected = -1;
let scanning = false;

function log(text, isError = false) {
  const line = document.createElement('div');
  line.textContent = `${new Date().toLocaleTimeString()}  ${text}`;
  if (isError) line.className = 'error';
  $('#log').prepend(line);
}

// Runs an action, logging a refusal with the service's reason.
async function attempt(what, action) {
  try {
    return await action();
  } catch (error) {
    const detail = error instanceof ScanBridgeError ? `${error.err_detail} (ret ${error.ret})` : String(error);
    log(`${what} failed: ${detail}`, true);
    return undefined;
  }
}

function setStatus(online) {
  $('#status').textContent = online ? `connected to ${serviceUrl}` : 'not connected: retrying…';
  $('#status').classList.toggle('online', online);
}

// ---- scanners ----

async function refreshScanners() {
  const reply = await attempt('listing scanners', () => bridge.getDeviceNameList());
  const list = $('#scanners');
  list.replaceChildren();
  for (const name of reply?.device_name_list ?? []) {
    const item = document.createElement('li');
    item.classList.toggle('open', name === openScanner);
    const label = document.createElement('span');
    label.textContent = name;
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = name === openScanner ? 'Close' : 'Open';
    button.onclick = () => (name === openScanner ? closeScanner() : openNamedScanner(name));
    item.append(label, button);
    list.append(item);
  }
  if (list.children.length === 0) list.innerHTML = '<li class="hint">No scanner found.</li>';
}

async function openNamedScanner(name) {
  if (openScanner) await attempt('closing the scanner', () => bridge.closeDevice());
  const opened = await attempt(`opening ${name}`, () => bridge.openDevice({ device_name: name }));
  openScanner = opened ? name : '';
  if (opened) log(`opened ${name}`);
  await Promise.all([refreshScanners(), loadOptions()]);
  updateButtons();
}

async function closeScanner() {
  await attempt('closing the scanner', () => bridge.closeDevice());
  openScanner = '';
  await Promise.all([refreshScanners(), loadOptions()]);
  updateButtons();
}

// ---- options form ----

function optionInput(option, index) {
  const id = `option-${index}`;
  let input;
  if (option.value_type === 'bool') {
    input = document.createElement('input');
    input.type = 'checkbox';
    input.checked = option.value;
  } else if (option.range_type === 'list') {
    input = document.createElement('select');
    for (const value of option.value_list) {
      const choice = new Option(String(value), String(value));
      choice.selected = value === option.value;
      input.append(choice);
    }
  } else {
    input = document.createElement('input');
    input.type = option.value_type === 'string' ? 'text' : 'number';
    if (option.value_type === 'int') input.step = '1';
    if (option.value_type === 'double') input.step = 'any';
    if (option.range_type === 'min_max') {
      input.min = option.value_min;
      input.max = option.value_max;
      input.title = `${option.value_min} to ${option.value_max}`;
    }
    input.value = option.value;
  }
  input.id = id;
  input.dataset.index = index;
  return input;
}

async function loadOptions() {
  const form = $('#options');
  options = [];
  form.replaceChildren();
  if (!openScanner) {
    form.innerHTML = '<p class="hint">Open a scanner to see its options.</p>';
    return;
  }
  const reply = await attempt('reading options', () => bridge.getDeviceParam());
  for (const group of reply?.device_param ?? []) {
    const fieldset = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = group.group_name;
    fieldset.append(legend);
    for (const option of group.group_param) {
      const index = options.push(option) - 1;
      const row = document.createElement('label');
      row.className = 'option';
      const name = document.createElement('span');
      name.textContent = option.name;
      row.append(name, optionInput(option, index));
      fieldset.append(row);
    }
    form.append(fieldset);
  }
}

function formValue(option, input) {
  if (option.value_type === 'bool') return input.checked;
  if (option.value_type === 'string') return input.value;
  return Number(input.value);
}

async function applyOptions() {
  const changed = [];
  for (const input of $('#options').querySelectorAll('[data-index]')) {
    const option = options[Number(input.dataset.index)];
    const value = formValue(option, input);
    if (value !== option.value) changed.push({ name: option.name, value });
  }
  if (changed.length === 0) return log('no option changed');
  if (await attempt('setting options', () => bridge.setDeviceParam({ device_param: changed }))) {
    log(`set ${changed.map((option) => option.name).join(', ')}`);
  }
  await loadOptions();
}

// ---- scanning ----

async function scan() {
  scanning = true;
  updateButtons();
  let count = 0;
  let failure = null;
  try {
    for await (const page of bridge.scan({ get_base64: true, blank_check: $('#blank-check').checked })) {
      count += 1;
      // Scanned pages are files; keeping them in the batch is the page's choice.
      await attempt('adding the page', () => bridge.insertLocalImage({ image_path: page.image_path }));
      addPage(page.image_base64, page.is_blank ? 'blank' : '', $('#pages').children.length);
    }
  } catch (error) {
    failure = error;
  }
  scanning = false;
  updateButtons();
  // The grid is read back from the service before the scan is reported done.
  await refreshPages();
  if (failure) {
    log(`scan ended with an error after ${count} page(s): ${failure.err_info ?? failure}`, true);
  } else {
    log(`scan finished: ${count} page(s)`);
  }
}

// ---- the batch ----

function addPage(source, tag, index) {
  const item = document.createElement('li');
  item.draggable = true;
  item.dataset.index = index;
  const image = document.createElement('img');
  image.src = source;
  image.alt = `page ${index + 1}`;
  const caption = document.createElement('div');
  caption.className = 'caption';
  caption.textContent = `${index + 1}${tag ? ` · ${tag}` : ''}`;
  item.append(image, caption);
  item.classList.toggle('selected', index === selected);
  item.onclick = () => select(index);
  item.ondragstart = (event) => event.dataTransfer.setData('text/plain', String(index));
  item.ondragover = (event) => { event.preventDefault(); item.classList.add('drop-target'); };
  item.ondragleave = () => item.classList.remove('drop-target');
  item.ondrop = (event) => {
    event.preventDefault();
    item.classList.remove('drop-target');
    movePage(Number(event.dataTransfer.getData('text/plain')), index);
  };
  $('#pages').append(item);
}

async function refreshPages() {
  const [list, batch] = await Promise.all([
    attempt('reading the batch', () => bridge.getImageThumbnailList()),
    attempt('reading the batch name', () => bridge.getCurrBatchId()),
  ]);
  $('#pages').replaceChildren();
  const thumbnails = list?.image_thumbnail_list ?? [];
  thumbnails.forEach((thumbnail, index) => addPage(thumbnail.image_base64, thumbnail.image_tag, index));
  if (selected >= thumbnails.length) selected = -1;
  $('#batch-title').textContent = `Batch ${batch?.batch_id ?? ''} · ${thumbnails.length} page(s)`;
  select(selected);
}

function select(index) {
  selected = index;
  for (const item of $('#pages').children) item.classList.toggle('selected', Number(item.dataset.index) === index);
  $('#selection').textContent = index >= 0 ? `page ${index + 1} selected` : 'no page selected';
  updateButtons();
}

async function movePage(from, to) {
  if (from === to) return;
  const moved = await attempt('moving the page', () =>
    bridge.moveImage({ image_index_list: [from], mode: 'index', target: to }));
  if (moved) selected = to;
  await refreshPages();
  if (moved) log(`moved page ${from + 1} to ${to + 1}`);
}

// Rotation happens in the browser: the page's picture is turned on a canvas
// and stored back.
async function rotatedQuarter(dataUrl) {
  const image = new Image();
  image.src = dataUrl;
  await image.decode();
  const canvas = document.createElement('canvas');
  canvas.width = image.naturalHeight;
  canvas.height = image.naturalWidth;
  const context = canvas.getContext('2d');
  context.translate(canvas.width, 0);
  context.rotate(Math.PI / 2);
  context.drawImage(image, 0, 0);
  return canvas.toDataURL('image/jpeg', 0.92);
}

// Runs an image operation on the selected page and stores its result back.
async function replaceWith(operation, members) {
  const reply = await attempt(operation, () =>
    bridge.call(operation, { image_index: selected, local_save: false, get_base64: true, ...members }));
  if (!reply) return false;
  return Boolean(await attempt('storing the result', () =>
    bridge.modifyImage({ image_index: selected, image_base64: reply.image_base64 })));
}

async function edit(kind) {
  if (selected < 0) return log('select a page first', true);
  const index = selected;
  let done = false;
  if (kind === 'rotate') {
    const page = await attempt('loading the page', () => bridge.loadImage({ image_index: index }));
    if (page) {
      const turned = await rotatedQuarter(page.image_base64);
      done = Boolean(await attempt('storing the page', () => bridge.modifyImage({ image_index: index, image_base64: turned })));
    }
  } else if (kind === 'deskew') {
    done = await replaceWith('image_deskew', {});
  } else if (kind === 'direction') {
    done = await replaceWith('image_direction_correct', {});
  } else if (kind === 'crop') {
    done = await replaceWith('image_clip', {
      x: Number($('#crop-x').value), y: Number($('#crop-y').value),
      width: Number($('#crop-w').value), height: Number($('#crop-h').value),
    });
  } else if (kind === 'watermark') {
    done = await replaceWith('image_add_watermark', {
      text: $('#watermark-text').value, text_pos: 'center', text_color: '#c1121f', text_opacity: 140, font_size: 60,
    });
  } else if (kind === 'delete') {
    done = Boolean(await attempt('deleting the page', () => bridge.deleteImage({ image_index_list: [index] })));
    if (done) selected = -1;
  }
  await refreshPages();
  if (done) log(`${kind}: page ${index + 1}`);
}

// ---- export and upload ----

function download(base64, type, name) {
  const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  link.textContent = name;
  return link;
}

async function exportBatch(format) {
  const count = (await attempt('counting pages', () => bridge.getImageCount()))?.image_count ?? 0;
  if (count === 0) return log('the batch is empty', true);
  const indexes = [...Array(count).keys()];
  const result = $('#export-result');
  let link;
  let path;
  if (format === 'zip') {
    const reply = await attempt('making the ZIP', () => bridge.makeZipFile({ image_index_list: indexes, get_base64: true }));
    if (!reply) return;
    link = download(reply.zip_base64, 'application/zip', 'scans.zip');
    path = reply.zip_path;
  } else {
    const reply = await attempt(`making the ${format.toUpperCase()}`, () =>
      bridge.makeMultiImage({ image_index_list: indexes, format, get_base64: true }));
    if (!reply) return;
    const types = { pdf: 'application/pdf', ofd: 'application/ofd', tif: 'image/tiff' };
    link = download(reply.image_base64.split(',')[1], types[format], `scans.${format}`);
    path = reply.image_path;
  }
  result.replaceChildren('Saved as ', path, ' · download: ', link);
  log(`exported ${count} page(s) to ${path}`);
}

async function upload() {
  if (selected < 0) return log('select a page first', true);
  const members = {
    image_index: selected,
    upload_mode: 'http',
    http_host: $('#upload-host').value,
    http_port: Number($('#upload-port').value),
    http_path: $('#upload-path').value,
  };
  if (await attempt('uploading', () => bridge.uploadImage(members))) log(`uploaded page ${selected + 1}`);
}

function updateButtons() {
  $('#scan').disabled = !openScanner || scanning;
  $('#stop').disabled = !scanning;
  $('#apply-options').disabled = !openScanner || scanning;
  $('#reset-options').disabled = !openScanner || scanning;
  for (const button of document.querySelectorAll('[data-edit], #upload')) button.disabled = selected < 0 || scanning;
}

// ---- start ----

async function start() {
  setStatus(true);
  // The driver may be running from before a reconnect; that is fine.
  await bridge.initDevice().catch(() => {});
  const current = await bridge.getCurrDeviceName().catch(() => null);
  openScanner = current?.device_name ?? '';
  if (!openScanner) {
    const list = await bridge.getDeviceNameList().catch(() => null);
    const first = list?.device_name_list?.[0];
    if (first) await openNamedScanner(first);
  }
  await Promise.all([refreshScanners(), loadOptions(), refreshPages()]);
  updateButtons();
}

bridge.addEventListener('connect', () => start());
bridge.addEventListener('disconnect', () => setStatus(false));
bridge.addEventListener('device_arrive', (event) => { log(`scanner arrived: ${event.detail.device_name}`); refreshScanners(); });
bridge.addEventListener('device_remove', (event) => {
  log(`scanner left: ${event.detail.device_name}`);
  if (event.detail.device_name === openScanner) openScanner = '';
  refreshScanners();
  updateButtons();
});
bridge.addEventListener('scan_info', (event) => log(`scanner: ${event.detail.info}`, event.detail.is_error));

$('#scan').onclick = () => scan();
$('#stop').onclick = () => attempt('stopping', () => bridge.stopScan());
$('#apply-options').onclick = () => applyOptions();
$('#reset-options').onclick = async () => {
  await attempt('resetting options', () => bridge.resetDeviceParam());
  await loadOptions();
};
$('#clear').onclick = async () => {
  await attempt('clearing the batch', () => bridge.clearImageList());
  selected = -1;
  await refreshPages();
};
$('#upload').onclick = () => upload();
for (const button of document.querySelectorAll('[data-edit]')) button.onclick = () => edit(button.dataset.edit);
for (const button of document.querySelectorAll('[data-export]')) button.onclick = () => exportBatch(button.dataset.export);
updateButtons();
bridge.connect().catch(() => setStatus(false));
