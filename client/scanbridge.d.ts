// Types of scanbridge.js. The command methods mirror the service's commands;
// docs/protocol.md describes each command's members and reply.

export declare const COMMANDS: readonly string[];
export declare const EVENTS: readonly EventName[];
export declare const DEFAULT_URL: string;
export declare function methodName(command: string): string;

export type EventName =
  | "device_arrive"
  | "device_remove"
  | "scan_begin"
  | "scan_info"
  | "scan_image"
  | "scan_end";

/** Members of a command, as described in the protocol reference. */
export type Members = Record<string, unknown>;

/** A successful reply: `ret` is 0; the command's results follow. */
export interface Reply {
  func: string;
  iden?: string;
  ret: number;
  [member: string]: unknown;
}

export interface CallOptions {
  /** Milliseconds to wait for the reply. */
  timeout?: number;
}

export interface ClientOptions {
  timeout?: number;
  reconnectDelay?: number;
  maxReconnectDelay?: number;
  /** A WebSocket constructor, for environments without a global one. */
  WebSocket?: unknown;
}

export interface ScanOptions {
  blank_check?: boolean;
  local_save?: boolean;
  get_base64?: boolean;
}

export interface DeviceOption {
  name: string;
  value_type: "string" | "int" | "double" | "bool";
  value: string | number | boolean;
  range_type?: "list" | "min_max";
  value_list?: (string | number)[];
  value_min?: number;
  value_max?: number;
}

export interface DeviceParamGroup {
  group_name: string;
  group_param: DeviceOption[];
}

export interface GlobalConfig {
  file_save_path: string;
  file_name_prefix: string;
  file_name_mode: "date_time" | "random";
  image_format: string;
  image_jpeg_quality: number;
  image_tiff_compression: "none" | "lzw" | "jpeg" | "ccitt-g4";
  image_tiff_jpeg_quality: number;
}

/** A `scan_image` event: one scanned page. */
export interface ScannedPage {
  func: "scan_image";
  iden?: string;
  is_blank?: boolean;
  image_path?: string;
  image_base64?: string;
}

export interface EventMessage {
  func: EventName;
  iden?: string;
  device_name?: string;
  is_error?: boolean;
  info?: string;
  is_blank?: boolean;
  image_path?: string;
  image_base64?: string;
}

export declare class ScanBridgeError extends Error {
  reason: "refused" | "timeout" | "disconnected" | "scan";
  func: string;
  ret: number;
  err_info: string;
  /** The service's reason in plain words; also the error's message. */
  err_detail: string;
  reply: Reply | null;
}

export declare class ScanBridge extends EventTarget {
  constructor(url?: string, options?: ClientOptions);
  readonly url: string;
  timeout: number;
  readonly connected: boolean;
  connect(): Promise<this>;
  close(): void;
  call(func: string, members?: Members, options?: CallOptions): Promise<Reply>;
  scan(options?: ScanOptions): AsyncGenerator<ScannedPage, void, undefined>;
  addEventListener(
    type: EventName | "connect" | "disconnect" | "connect_error",
    listener: ((event: CustomEvent<EventMessage>) => void) | EventListenerObject | null,
    options?: boolean | AddEventListenerOptions,
  ): void;
  /** The `set_global_config` command. */
  setGlobalConfig(members?: Partial<GlobalConfig>, options?: CallOptions): Promise<Reply>;
  /** The `get_global_config` command. */
  getGlobalConfig(members?: Members, options?: CallOptions): Promise<Reply & GlobalConfig>;
  /** The `load_local_image` command. */
  loadLocalImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `save_local_image` command. */
  saveLocalImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `delete_local_file` command. */
  deleteLocalFile(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `clear_global_file_save_path` command. */
  clearGlobalFileSavePath(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `merge_local_image` command. */
  mergeLocalImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `merge_base64_image` command. */
  mergeBase64Image(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `merge_image` command. */
  mergeImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_make_multi_image` command. */
  localMakeMultiImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_make_multi_image` command. */
  base64MakeMultiImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `make_multi_image` command. */
  makeMultiImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `split_local_image` command. */
  splitLocalImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `split_base64_image` command. */
  splitBase64Image(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `split_image` command. */
  splitImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_make_zip_file` command. */
  localMakeZipFile(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_make_zip_file` command. */
  base64MakeZipFile(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `make_zip_file` command. */
  makeZipFile(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_image_deskew` command. */
  localImageDeskew(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_image_deskew` command. */
  base64ImageDeskew(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `image_deskew` command. */
  imageDeskew(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_image_add_watermark` command. */
  localImageAddWatermark(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_image_add_watermark` command. */
  base64ImageAddWatermark(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `image_add_watermark` command. */
  imageAddWatermark(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_image_decontamination` command. */
  localImageDecontamination(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_image_decontamination` command. */
  base64ImageDecontamination(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `image_decontamination` command. */
  imageDecontamination(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_image_direction_correct` command. */
  localImageDirectionCorrect(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_image_direction_correct` command. */
  base64ImageDirectionCorrect(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `image_direction_correct` command. */
  imageDirectionCorrect(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `local_image_clip` command. */
  localImageClip(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `base64_image_clip` command. */
  base64ImageClip(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `image_clip` command. */
  imageClip(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `upload_image` command. */
  uploadImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `upload_local_file` command. */
  uploadLocalFile(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `upload_image_base64` command. */
  uploadImageBase64(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `init_device` command. */
  initDevice(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `deinit_device` command. */
  deinitDevice(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `get_device_name_list` command. */
  getDeviceNameList(members?: Members, options?: CallOptions): Promise<Reply & { device_name_list: string[] }>;
  /** The `open_device` command. */
  openDevice(members?: { device_name?: string }, options?: CallOptions): Promise<Reply>;
  /** The `close_device` command. */
  closeDevice(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `set_device_param` command. */
  setDeviceParam(members?: { device_param: { name: string; value: string | number | boolean }[] }, options?: CallOptions): Promise<Reply>;
  /** The `get_device_param` command. */
  getDeviceParam(members?: Members, options?: CallOptions): Promise<Reply & { device_param: DeviceParamGroup[] }>;
  /** The `reset_device_param` command. */
  resetDeviceParam(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `get_curr_device_name` command. */
  getCurrDeviceName(members?: Members, options?: CallOptions): Promise<Reply & { device_name: string }>;
  /** The `start_scan` command. */
  startScan(members?: ScanOptions, options?: CallOptions): Promise<Reply>;
  /** The `stop_scan` command. */
  stopScan(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `get_batch_id_list` command. */
  getBatchIdList(members?: Members, options?: CallOptions): Promise<Reply & { batch_id_list: string[] }>;
  /** The `open_batch` command. */
  openBatch(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `delete_batch` command. */
  deleteBatch(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `new_batch` command. */
  newBatch(members?: { batch_id?: string }, options?: CallOptions): Promise<Reply & { batch_id: string }>;
  /** The `get_curr_batch_id` command. */
  getCurrBatchId(members?: Members, options?: CallOptions): Promise<Reply & { batch_id: string }>;
  /** The `modify_batch_id` command. */
  modifyBatchId(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `bind_folder` command. */
  bindFolder(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `stop_bind_folder` command. */
  stopBindFolder(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `get_image_thumbnail_list` command. */
  getImageThumbnailList(members?: Members, options?: CallOptions): Promise<Reply & { image_thumbnail_list: { image_tag: string; image_base64: string }[] }>;
  /** The `get_image_count` command. */
  getImageCount(members?: Members, options?: CallOptions): Promise<Reply & { image_count: number }>;
  /** The `load_image` command. */
  loadImage(members?: { image_index?: number }, options?: CallOptions): Promise<Reply & { image_tag: string; image_base64: string }>;
  /** The `save_image` command. */
  saveImage(members?: { image_index?: number }, options?: CallOptions): Promise<Reply & { image_path: string }>;
  /** The `insert_local_image` command. */
  insertLocalImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `insert_image` command. */
  insertImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `modify_image_tag` command. */
  modifyImageTag(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `delete_image` command. */
  deleteImage(members?: { image_index_list: number[] }, options?: CallOptions): Promise<Reply>;
  /** The `clear_image_list` command. */
  clearImageList(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `modify_image` command. */
  modifyImage(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `modify_image_by_local` command. */
  modifyImageByLocal(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
  /** The `move_image` command. */
  moveImage(members?: { image_index_list: number[]; mode?: "index" | "pos"; target?: number }, options?: CallOptions): Promise<Reply>;
  /** The `exchange_image` command. */
  exchangeImage(members?: { image_index_1: number; image_index_2: number }, options?: CallOptions): Promise<Reply>;
  /** The `image_book_sort` command. */
  imageBookSort(members?: Members, options?: CallOptions): Promise<Reply & Record<string, unknown>>;
}

export declare function connect(url?: string, options?: ClientOptions): Promise<ScanBridge>;
