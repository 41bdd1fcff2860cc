#!/usr/bin/python3
"""An HTTP server for upload tests that records what it receives.

Listens on 127.0.0.1 on a port chosen by the system and writes that port into
the --ready file once it accepts connections. Every accepted connection
appends {"event": "connect"} to the --records file (JSON lines); every request
appends {"event": "request", ...} with its method, path, Host header, headers,
body size and, for multipart/form-data bodies, the parts in order (name, file
name or null, content type, bytes as Base64), or "error" when the body is
malformed. The record is written before the answer is sent, so a client that
has its answer can read the record.

Answers carry the --status code. With --stall the server reads the request
head and then neither reads the body nor answers, like a server that hangs.
"""

import argparse
import base64
import json
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from ready_file import write_ready


class MultipartError(Exception):
    pass


def parse_header_params(value):
    """Splits 'main; a="x"; b=y' into ('main', {'a': 'x', 'b': 'y'})."""
    main, _, rest = value.partition(";")
    params = {}
    i = 0
    while i < len(rest):
        while i < len(rest) and rest[i] in " \t;":
            i += 1
        eq = rest.find("=", i)
        if eq < 0:
            break
        key = rest[i:eq].strip().lower()
        i = eq + 1
        if i < len(rest) and rest[i] == '"':
            i += 1
            chars = []
            while i < len(rest) and rest[i] != '"':
                if rest[i] == "\\" and i + 1 < len(rest):
                    i += 1
                chars.append(rest[i])
                i += 1
            if i >= len(rest):
                raise MultipartError("unterminated quoted parameter")
            i += 1
            params[key] = "".join(chars)
        else:
            end = rest.find(";", i)
            end = len(rest) if end < 0 else end
            params[key] = rest[i:end].strip()
            i = end
    return main.strip().lower(), params


def parse_part(raw):
    head, separator, data = raw.partition(b"\r\n\r\n")
    if not separator:
        raise MultipartError("part without header end")
    headers = {}
    for line in head.split(b"\r\n"):
        name, colon, value = line.decode("utf-8").partition(":")
        if not colon:
            raise MultipartError("malformed part header")
        headers[name.strip().lower()] = value.strip()
    disposition, params = parse_header_params(headers.get("content-disposition", ""))
    if disposition != "form-data" or "name" not in params:
        raise MultipartError("part without form-data name")
    return {
        "name": params["name"],
        "filename": params.get("filename"),
        "content_type": headers.get("content-type"),
        "data_base64": base64.b64encode(data).decode("ascii"),
    }


def parse_multipart(body, content_type):
    """The parts of a multipart/form-data body, strictly by RFC 7578/2046."""
    kind, params = parse_header_params(content_type)
    if kind != "multipart/form-data" or not params.get("boundary"):
        raise MultipartError("not multipart/form-data with a boundary")
    delimiter = b"--" + params["boundary"].encode("ascii")
    if not body.startswith(delimiter + b"\r\n"):
        raise MultipartError("body does not start with the boundary")
    parts = []
    position = len(delimiter) + 2
    while True:
        end = body.find(b"\r\n" + delimiter, position)
        if end < 0:
            raise MultipartError("missing closing boundary")
        parts.append(parse_part(body[position:end]))
        position = end + 2 + len(delimiter)
        if body[position:position + 2] == b"--":
            if body[position + 2:] not in (b"", b"\r\n"):
                raise MultipartError("data after the closing boundary")
            return parts
        if body[position:position + 2] != b"\r\n":
            raise MultipartError("boundary not followed by a line end")
        position += 2


class RecordingHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.server.record({"event": "connect"})

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            chunks = []
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(chunks)
                chunks.append(self.rfile.read(size))
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length", "0")))

    def handle_request(self):
        if self.server.stall:
            self.server.record({"event": "stall", "path": self.path})
            threading.Event().wait()
        body = self.read_body()
        record = {
            "event": "request",
            "method": self.command,
            "path": self.path,
            "host": self.headers.get("Host"),
            "headers": {name.lower(): value for name, value in self.headers.items()},
            "body_size": len(body),
            "parts": [],
        }
        content_type = self.headers.get("Content-Type", "")
        if content_type.lower().startswith("multipart/"):
            try:
                record["parts"] = parse_multipart(body, content_type)
            except (MultipartError, UnicodeDecodeError) as error:
                record["error"] = str(error)
        self.server.record(record)
        answer = b"recorded\n"
        self.send_response(self.server.status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(answer)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(answer)
        self.close_connection = True

    do_POST = handle_request
    do_PUT = handle_request
    do_GET = handle_request

    def log_message(self, format, *args):
        pass


class RecordingServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, records, status, stall):
        super().__init__(("127.0.0.1", 0), RecordingHandler)
        self.records_path = records
        self.status = status
        self.stall = stall
        self.lock = threading.Lock()

    def record(self, entry):
        with self.lock, open(self.records_path, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ready", required=True)
    parser.add_argument("--records", required=True)
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--stall", action="store_true")
    args = parser.parse_args()
    open(args.records, "w").close()
    server = RecordingServer(args.records, args.status, args.stall)
    write_ready(args.ready, server.server_address[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
