#!/usr/bin/env python3
"""Sends the generation-1 examples of docs/protocol.md to the real service
and checks the answers have the documented shape, so that part of the
document cannot drift either.

    check_protocol_doc_gen1.py <scanbridge executable> <docs/protocol.md>

The service runs generation 1 with the virtual scanner in a private folder
tree; the REST example goes through urllib, the Socket.IO example through a
WebSocket client on the standard library alone.
"""

import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from ws_text_client import WebSocket  # noqa: E402

EXE = DOC = None
REST_PORT, SOCKET_IO_PORT = 18999, 28999


def section(text, title):
    start = text.index(f"\n## {title}\n")
    end = text.find("\n## ", start + 1)
    return text[start:end if end >= 0 else len(text)]


def same_shape(documented, answered):
    """The answer has the documented kinds of values, member by member."""
    if isinstance(documented, dict):
        return isinstance(answered, dict) and documented.keys() == answered.keys() and all(
            same_shape(documented[key], answered[key]) for key in documented)
    if isinstance(documented, list):
        return isinstance(answered, list) and all(
            same_shape(documented[0], item) for item in answered) if documented else answered == []
    return type(documented) is type(answered) or (documented is None and answered is None)


def wait_for_port(port, service):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if service.poll() is not None:
            raise RuntimeError("the service ended at start")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise TimeoutError(f"nothing listens on {port}")


class Generation1Examples(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(DOC, encoding="utf-8") as f:
            text = f.read()
        cls.rest = section(text, "Generation 1: REST")
        cls.socket_io = section(text, "Generation 1: Socket.IO")
        cls.root = tempfile.TemporaryDirectory()
        folders = {name: os.path.join(cls.root.name, name) for name in ("config", "docs", "tmp")}
        for folder in folders.values():
            os.makedirs(folder)
        with open(os.path.join(folders["config"], "config.ini"), "w") as f:
            f.write("[version]\nverNum=1\n[virtual]\npage_delay_ms=5\n")
        env = dict(os.environ, SCANBRIDGE_CONFIG_DIR=folders["config"],
                   SCANBRIDGE_DOCUMENTS_DIR=folders["docs"], SCANBRIDGE_TMP_DIR=folders["tmp"],
                   SCANBRIDGE_DRIVER="virtual")
        cls.log = open(os.path.join(cls.root.name, "service.log"), "w+")
        cls.service = subprocess.Popen([EXE], env=env, stdout=cls.log, stderr=subprocess.STDOUT)
        wait_for_port(REST_PORT, cls.service)
        wait_for_port(SOCKET_IO_PORT, cls.service)

    @classmethod
    def tearDownClass(cls):
        cls.service.send_signal(signal.SIGTERM)
        status = cls.service.wait(timeout=30)
        cls.log.close()
        cls.root.cleanup()
        if status != 0:
            raise AssertionError(f"the service exited with {status}")

    def test_every_rest_example_answers_in_its_documented_shape(self):
        examples = re.findall(r"```http\n(.*?)```\n```text\n(.*?)```", self.rest, re.S)
        self.assertTrue(examples, "the REST section shows no example")
        for request, answer in examples:
            method, path, _ = request.splitlines()[0].split(" ")
            with self.subTest(path=path):
                documented = json.loads(answer)
                reply = urllib.request.urlopen(
                    urllib.request.Request(f"http://127.0.0.1:{REST_PORT}{path}", method=method),
                    timeout=30)
                answered = json.loads(reply.read())
                self.assertTrue(same_shape(documented, answered), f"{answered} is not {documented}")
                self.assertEqual(answered["code"], documented["code"])

    def test_every_rest_endpoint_of_the_table_is_served(self):
        rows = re.findall(r"^\| (GET|POST) \| `([^`]+)` \|", self.rest, re.M)
        self.assertGreater(len(rows), 20)
        for method, path in rows:
            with self.subTest(path=path):
                request = urllib.request.Request(
                    f"http://127.0.0.1:{REST_PORT}/VevIzer/{path}?pid=doc-check", method=method,
                    data=b"pid=doc-check" if method == "POST" else None,
                    headers={"Content-Type": "application/x-www-form-urlencoded"})
                with urllib.request.urlopen(request, timeout=30) as reply:
                    self.assertEqual(reply.status, 200)

    def test_the_socket_io_example_scans_as_documented(self):
        packets = re.findall(r"`(4[02][^`]*)`", self.socket_io.split("Example:", 1)[1])
        sent, heard = packets[0], packets[1:]
        # The heard packets show their data in part ("{...}"): only their names are read.
        self.assertEqual([re.match(r'42\["(\w+)"', p).group(1) for p in heard],
                         ["event", "image", "result"])
        page = WebSocket(SOCKET_IO_PORT, "/socket.io/?EIO=3&transport=websocket")
        try:
            self.assertTrue(page.receive_text().startswith('0{"sid":'))
            self.assertEqual(page.receive_text(), "40")
            page.send_text(sent)
            names = []
            while "result" not in names:
                packet = page.receive_text()
                if packet.startswith("42"):
                    name, data = json.loads(packet[2:])
                    names.append(name)
                    if name == "image":
                        self.assertEqual(data["code"], 201)
                        self.assertTrue(data["image"].startswith("data:image/"))
                    if name == "result":
                        self.assertEqual(data["code"], 204)
            self.assertEqual(names[0], "event")
            self.assertIn("image", names)
            self.assertEqual(set(names), {"event", "image", "result"})
        finally:
            page.close()


if __name__ == "__main__":
    EXE, DOC = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
