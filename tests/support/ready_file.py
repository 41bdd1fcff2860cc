"""The ready file a test server writes once it listens: its port, made to
appear whole (written under another name, then renamed) so the test never
reads half of it."""

import os


def write_ready(path, port):
    with open(path + ".tmp", "w", encoding="ascii") as out:
        out.write(str(port))
    os.rename(path + ".tmp", path)
