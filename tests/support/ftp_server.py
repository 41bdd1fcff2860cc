#!/usr/bin/python3
"""An FTP server for upload tests, built on pyftpdlib.

Listens on 127.0.0.1 on a port chosen by the system and writes that port into
the --ready file once it accepts connections. The anonymous user works in
--anonymous-root and the user --user with --password in --user-root; both may
read, write, create and delete there. Separate roots show which login an
upload used. A refused login is answered at once. The server's log goes to
standard error.
"""

import argparse
import logging
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from ready_file import write_ready

FULL_PERMISSIONS = "elradfmwMT"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ready", required=True)
    parser.add_argument("--anonymous-root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--user-root", required=True)
    args = parser.parse_args()

    logging.basicConfig(level=logging.INFO)
    authorizer = DummyAuthorizer()
    with warnings.catch_warnings():
        # Writing as anonymous is what the tests need.
        warnings.simplefilter("ignore", RuntimeWarning)
        authorizer.add_anonymous(args.anonymous_root, perm=FULL_PERMISSIONS)
    authorizer.add_user(args.user, args.password, args.user_root, perm=FULL_PERMISSIONS)

    handler = FTPHandler
    handler.authorizer = authorizer
    # A refused login is answered after this delay (3 s by default), which
    # would exceed the clients' 2-second connect time-out.
    handler.auth_failed_timeout = 0.1
    server = FTPServer(("127.0.0.1", 0), handler)
    write_ready(args.ready, server.address[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
