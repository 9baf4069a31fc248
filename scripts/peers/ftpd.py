#!/usr/bin/python3
"""FTP test server on 127.0.0.1 for the engine's and the program's tests.

  ftpd.py --root DIR --port-file FILE [--user NAME --password PW]
          [--anon-root DIR] [--anon-write] [--passive-ports MIN-MAX]
          [--watch-pid PID] [--cert PEM --key PEM [--tls-required]] [--ipv6]

Binds port 0 and writes the chosen port to FILE once it accepts connections.
Run it with /usr/bin/python3: the distribution's Python has the FTP library.
"""
import argparse
import os
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peerlib  # noqa: E402

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.handlers import FTPHandler  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--user", default="oxuser")
    ap.add_argument("--password", default="oxpass")
    ap.add_argument("--anon-root")
    ap.add_argument("--anon-write", action="store_true")
    ap.add_argument("--passive-ports")
    ap.add_argument("--watch-pid", type=int, default=0)
    ap.add_argument("--log")
    ap.add_argument("--cert", help="PEM certificate: offer AUTH TLS (needs python3-openssl)")
    ap.add_argument("--key", help="PEM private key of --cert")
    ap.add_argument("--tls-required", action="store_true")
    ap.add_argument("--ipv6", action="store_true", help="listen on ::1 instead of 127.0.0.1")
    args = ap.parse_args()

    auth = DummyAuthorizer()
    auth.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")
    if args.anon_root:
        auth.add_anonymous(os.path.abspath(args.anon_root),
                           perm="elradfmwMT" if args.anon_write else "elr")

    base = FTPHandler
    if args.cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler

    class Handler(base):
        pass

    if args.cert:
        Handler.certfile = os.path.abspath(args.cert)
        Handler.keyfile = os.path.abspath(args.key)
        Handler.tls_control_required = args.tls_required
        Handler.tls_data_required = args.tls_required

    Handler.authorizer = auth
    # Tests try wrong passwords on purpose; the default 3 s pause would only slow them.
    Handler.auth_failed_timeout = 0.05
    Handler.banner = "Oxbrook test server ready."
    if args.passive_ports:
        lo, hi = (int(x) for x in args.passive_ports.split("-"))
        Handler.passive_ports = range(lo, hi + 1)

    if args.log:
        import logging
        logging.basicConfig(filename=args.log, level=logging.INFO)
    else:
        import logging
        logging.basicConfig(level=logging.CRITICAL)

    server = FTPServer(("::1" if args.ipv6 else "127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]

    def stop(*_):
        # close_all from a signal handler is safe here: the loop is single-threaded.
        server.close_all()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    peerlib.watch_pid(args.watch_pid, lambda: os._exit(0))
    peerlib.write_port_file(args.port_file, port)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
