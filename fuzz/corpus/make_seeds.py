#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: a handful of real requests,
frames and commands each. Run from anywhere; the files land beside this
script (one folder per target)."""
import json
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MASK = b"\x37\xfa\x21\x3d"


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def frame(first_byte, payload, masked=True, long_length=False):
    """A client frame: the first byte, a length as the payload needs it, the
    mask key and the masked payload."""
    payload = payload.encode() if isinstance(payload, str) else payload
    mask_bit = 0x80 if masked else 0
    if long_length:
        header = bytes([first_byte, mask_bit | 127]) + struct.pack(">Q", len(payload))
    elif len(payload) < 126:
        header = bytes([first_byte, mask_bit | len(payload)])
    else:
        header = bytes([first_byte, mask_bit | 126]) + struct.pack(">H", len(payload))
    if not masked:
        return header + payload
    return header + MASK + bytes(b ^ MASK[i % 4] for i, b in enumerate(payload))


HANDSHAKE = (
    "GET / HTTP/1.1\r\nHost: 127.0.0.1:38999\r\nConnection: Upgrade\r\n"
    "Upgrade: websocket\r\nOrigin: http://localhost:8080\r\n"
    "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n"
).encode()
SOCKET_IO_HANDSHAKE = (
    "GET /socket.io/?EIO=3&transport=websocket HTTP/1.1\r\nHost: 127.0.0.1:28999\r\n"
    "Connection: keep-alive, Upgrade\r\nUpgrade: websocket\r\n"
    "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: x3JJHMbDL1EzLkh9GBhXDw==\r\n\r\n"
).encode()

SET_PARAM = json.dumps(
    {"func": "set_device_param", "iden": "14", "device_param": [
        {"name": "分辨率", "value": 300}, {"name": "颜色模式", "value": "256级灰度"},
        {"name": "锐化", "value": True}]}, ensure_ascii=False)

write("websocket_reader", "command", HANDSHAKE + frame(0x81, '{"func":"get_device_name_list","iden":"1"}'))
write("websocket_reader", "fragments_and_ping",
      HANDSHAKE + frame(0x01, '{"func":"start_scan",') + frame(0x89, "beat")
      + frame(0x80, '"iden":"scan-1","get_base64":true}'))
write("websocket_reader", "medium_length_then_close",
      HANDSHAKE + frame(0x81, SET_PARAM) + frame(0x88, b"\x03\xe8bye"))
write("websocket_reader", "long_length_binary", SOCKET_IO_HANDSHAKE + frame(0x82, b"\x00\x01\xfe\xff" * 8, long_length=True)
      + frame(0x8A, "") + frame(0x81, ""))
write("websocket_reader", "unmasked_frame", HANDSHAKE + frame(0x81, "2probe", masked=False))

write("http_request", "get_with_query",
      "GET /VevIzer/getParams?pid=3&name=a%20b+c#top HTTP/1.1\r\nHost: 127.0.0.1:18999\r\n"
      "Origin: http://localhost:8080\r\nConnection: keep-alive\r\n\r\n")
write("http_request", "post_form_body",
      "POST /VevIzer/setParams HTTP/1.1\r\nHost: 127.0.0.1:18999\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 39\r\n\r\n"
      "pid=1&params=%7B%22dpi%22%3A300%7D&x=1")
write("http_request", "pipelined",
      "GET /VevIzer/getDevices HTTP/1.1\r\nHost: a\r\n\r\n"
      "POST /VevIzer/getVersionInfo HTTP/1.1\r\ncontent-length: 2\r\n\r\n{}"
      "GET /VevIzer/majorOfdFile?pid=7 HTTP/1.0\r\n\r\n")
write("http_request", "preflight",
      "OPTIONS /VevIzer/majorPdf HTTP/1.1\r\nOrigin: https://app.example.com:8443\r\n"
      "Access-Control-Request-Method: POST\r\nAccess-Control-Request-Headers: content-type\r\n\r\n")
write("http_request", "bad_escapes",
      "GET /VevIzer/image/getImageByPid%2?pid=%zz&&=&x=%00 HTTP/1.1\r\nContent-Length: -5\r\n\r\n")

commands = {
    "device_list": {"func": "get_device_name_list", "iden": "10"},
    "start_scan": {"func": "start_scan", "iden": "scan-1", "blank_check": True,
                   "local_save": False, "get_base64": True},
    "move_image": {"func": "move_image", "iden": 25, "image_index_list": [2, -1, 1e10, "3"],
                   "mode": "index", "target": 0},
    "merge_local": {"func": "merge_local_image", "iden": "42", "image_path_list":
                    ["/home/me/a.jpg", "/home/me/b.jpg", None], "mode": "vert", "interval": 10.5},
    "upload": {"func": "upload_image", "iden": "70", "image_index": 0, "upload_mode": "http",
               "http_host": "127.0.0.1", "http_port": 8080, "http_path": "/upload",
               "http_header": {"X-Token": "t"}},
}
for name, command in commands.items():
    write("command_parse", name, json.dumps(command))
write("command_parse", "set_device_param", SET_PARAM)
write("command_parse", "padded_with_trailer", ' \t\n{"func":"stop_scan","iden":"16","func":1} trailing\0{}')
