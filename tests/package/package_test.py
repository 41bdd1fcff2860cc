#!/usr/bin/env python3
"""Checks the Debian package as a user would meet it.

    package_test.py <package.deb> <build folder it was made from>

The package's control data and file list are inspected, the package is
unpacked into a temporary root (no installation on this machine) and the
service is run from there: --version, --help, and a short scan with the
virtual scanner over a WebSocket client written here on the standard library
alone. The user unit must pass systemd-analyze verify, and cmake --install
into a temporary prefix must give the same layout.
"""
import base64
import glob
import json
import os
import re
import shutil
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

DEB = BUILD = None
UNIT = "lib/systemd/user/scanbridge.service"


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **options)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def verify_unit(path):
    """systemd-analyze verify reports problems as text and may still exit 0."""
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        return run("systemd-analyze", "--user", "verify", path, env=env)


class JsonWebSocket(WebSocket):
    """Generation 2's JSON messages over the shared client."""

    def __init__(self, port):
        super().__init__(port)
        self.pending = []

    def send(self, message):
        self.send_text(json.dumps(message, ensure_ascii=False))

    def receive(self):
        return json.loads(self.receive_text())

    def call(self, message):
        """Sends a command; returns its reply, keeping events for later."""
        self.send(message)
        while True:
            received = self.receive()
            if received.get("func") == message["func"] and "ret" in received:
                return received
            self.pending.append(received)

    def next_event(self):
        return self.pending.pop(0) if self.pending else self.receive()


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="scanbridge-package-")
        cls.root = os.path.join(cls.temp, "root")
        subprocess.run(["dpkg", "-x", DEB, cls.root], check=True)
        cls.exe = os.path.join(cls.root, "usr/bin/scanbridge")
        cls.fields = {}
        for line in run("dpkg-deb", "--field", DEB).stdout.splitlines():
            name, _, value = line.partition(": ")
            cls.fields[name] = value

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp)

    def test_dependencies_name_libraries_and_runtime_data(self):
        info = run("dpkg-deb", "--info", DEB).stdout
        depends = [d.strip().split(" ")[0] for d in self.fields["Depends"].split(",")]
        for package in ("tesseract-ocr-chi-sim", "tesseract-ocr-eng", "tesseract-ocr-osd",
                        "fonts-noto-cjk", "libsane1",
                        # found by dpkg-shlibdeps from the linked libraries
                        "libc6", "libsqlite3-0", "libtesseract5", "libcurl4", "libjpeg62-turbo"):
            self.assertIn(package, depends, info)
        self.assertEqual(self.fields["Package"], "scanbridge")
        self.assertRegex(os.path.basename(DEB),
                         rf"^scanbridge_{re.escape(self.fields['Version'])}_"
                         rf"{self.fields['Architecture']}\.deb$")

    def test_contents_are_the_installed_layout(self):
        listing = run("dpkg-deb", "--contents", DEB).stdout
        files = {line.split()[-1] for line in listing.splitlines()}
        expected = {"./usr/bin/scanbridge", "./usr/share/scanbridge/README.md", "./usr/" + UNIT,
                    "./usr/share/scanbridge/demo/index.html", "./usr/share/scanbridge/scanbridge.js",
                    "./usr/share/scanbridge/configuration.md"}
        if os.path.exists(os.path.join(BUILD, "scanbridge-sane")):
            expected.add("./usr/bin/scanbridge-sane")
        self.assertLessEqual(expected, files, listing)
        self.assertFalse([f for f in files if "/include/" in f or f.endswith(".a")], listing)

    def test_version_and_help_from_the_unpacked_package(self):
        version = run(self.exe, "--version")
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertRegex(version.stdout, rf"^scanbridge {re.escape(self.fields['Version'])} "
                                         r"\(commit ([0-9a-f]{12}(-dirty)?|unknown)\)\n$")
        env = dict(os.environ, SCANBRIDGE_TMP_DIR=os.path.join(self.temp, "help-tmp"))
        help_text = run(self.exe, "--help", env=env)
        self.assertEqual(help_text.returncode, 0, help_text.stderr)
        # The shared files are found relative to the executable, not the source tree.
        self.assertIn("shared files   " + os.path.join(self.root, "usr/share/scanbridge/"),
                      help_text.stdout)
        self.assertEqual(run(self.exe, "--no-such-option").returncode, 2)

    def test_user_unit_passes_verification(self):
        unit_path = os.path.join(self.root, "usr", UNIT)
        with open(unit_path) as unit_file:
            unit = unit_file.read()
        self.assertIn("\nExecStart=/usr/bin/scanbridge\n", unit)
        self.assertIn("\nRestart=on-failure\n", unit)
        self.assertIn("\nWantedBy=default.target\n", unit)
        # The executable is verified where the package was unpacked, since it
        # is not installed on this machine.
        local = os.path.join(self.temp, "scanbridge.service")
        with open(local, "w") as unit_file:
            unit_file.write(unit.replace("ExecStart=/usr/bin/", f"ExecStart={self.root}/usr/bin/"))
        verified = verify_unit(local)
        self.assertEqual((verified.returncode, verified.stdout + verified.stderr), (0, ""))

    def test_cmake_install_into_another_prefix(self):
        prefix = os.path.join(self.temp, "prefix")
        installed = run("cmake", "--install", BUILD, "--prefix", prefix)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        for path in ("bin/scanbridge", "share/scanbridge/README.md", UNIT):
            self.assertTrue(os.path.exists(os.path.join(prefix, path)), path)
        unit = os.path.join(prefix, UNIT)
        with open(unit) as unit_file:
            self.assertIn(f"\nExecStart={prefix}/bin/scanbridge\n", unit_file.read())
        verified = verify_unit(unit)
        self.assertEqual((verified.returncode, verified.stdout + verified.stderr), (0, ""))

    def test_unpacked_service_scans_a_page(self):
        home = os.path.join(self.temp, "home")
        folders = {name: os.path.join(home, name) + "/" for name in ("config", "documents", "tmp")}
        for folder in folders.values():
            os.makedirs(folder)
        port = free_port()
        with open(folders["config"] + "config2.ini", "w") as config:
            config.write(f"[connect]\nport={port}\n")
        with open(folders["config"] + "config.ini", "w") as config:
            config.write("[driver]\nname=virtual\n[virtual]\nsheets=2\npage_delay_ms=10\n")
        env = dict(os.environ, SCANBRIDGE_CONFIG_DIR=folders["config"],
                   SCANBRIDGE_DOCUMENTS_DIR=folders["documents"],
                   SCANBRIDGE_TMP_DIR=folders["tmp"], SCANBRIDGE_DRIVER="virtual")
        log_path = os.path.join(home, "service.log")
        with open(log_path, "w") as log:
            service = subprocess.Popen([self.exe], env=env, stdout=log, stderr=log)
        try:
            self.wait_for_log(log_path, " listening on ", service)
            with open(log_path) as log:
                self.assertRegex(log.read(), rf"scanbridge {re.escape(self.fields['Version'])} "
                                             rf"generation 2 driver virtual listening on "
                                             rf"127\.0\.0\.1:{port}(, \[::1\]:{port})?\n")
            # The demo page and its client module come from the package's shared files.
            for path in ("/", "/demo/scanbridge.js"):
                with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=10) as reply:
                    self.assertEqual(reply.status, 200, path)
            page = JsonWebSocket(port)
            try:
                self.scan(page, folders["documents"])
            finally:
                page.close()
            service.send_signal(signal.SIGTERM)
            self.assertEqual(service.wait(timeout=30), 0)
        finally:
            if service.poll() is None:
                service.kill()
                service.wait()

    def wait_for_log(self, path, text, service):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            with open(path) as log:
                if text in log.read():
                    return
            if service.poll() is not None:
                break
            time.sleep(0.05)
        with open(path) as log:
            self.fail(f"no '{text}' in the log:\n{log.read()}")

    def scan(self, page, documents):
        self.assertEqual(page.call({"func": "init_device"})["ret"], 0)
        # The scanner announces itself once the driver has listed it.
        self.assertEqual(page.next_event().get("func"), "device_arrive")
        names = page.call({"func": "get_device_name_list"})
        self.assertEqual(names["ret"], 0, names)
        self.assertIn("Virtual Scanner", names["device_name_list"])
        opened = page.call({"func": "open_device", "device_name": "Virtual Scanner"})
        self.assertEqual(opened["ret"], 0, opened)
        started = page.call({"func": "start_scan", "get_base64": True})
        self.assertEqual(started["ret"], 0, started)
        images = []
        while True:
            event = page.next_event()
            if event.get("func") == "scan_image":
                images.append(event)
            if event.get("func") == "scan_end":
                break
        self.assertEqual(len(images), 2)
        for image in images:
            self.assertTrue(image["image_path"].startswith(documents), image["image_path"])
            with open(image["image_path"], "rb") as saved:
                self.assertEqual(saved.read(3), b"\xff\xd8\xff")
            prefix = "data:image/jpeg;base64,"
            self.assertTrue(image["image_base64"].startswith(prefix))
            self.assertEqual(base64.b64decode(image["image_base64"][len(prefix):])[:3],
                             b"\xff\xd8\xff")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    DEB, BUILD = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
