#!/usr/bin/python3
"""Dante SOCKS 4/5 server on 127.0.0.1 for the SOCKS tests.

  dante.py --dir TMP --port-file FILE [--auth none|username]
           [--user NAME --password PW] [--watch-pid PID]

With --auth username, SOCKS 5 clients log in as a system user (created when
missing); the server then refuses SOCKS 4 requests, as the protocol has no
password.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peerlib  # noqa: E402
from vsftpd import ensure_user  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--auth", choices=["none", "username"], default="none")
    ap.add_argument("--user", default="oxsocks")
    ap.add_argument("--password", default="oxpass")
    ap.add_argument("--watch-pid", type=int, default=0)
    args = ap.parse_args()

    if args.auth == "username":
        ensure_user(args.user, args.password)
    work = os.path.abspath(args.dir)
    os.makedirs(work, exist_ok=True)
    port = peerlib.free_port()
    conf = """logoutput: {log}
internal: 127.0.0.1 port = {port}
external: 127.0.0.1
clientmethod: none
socksmethod: {method}
user.privileged: root
user.unprivileged: nobody
client pass {{
  from: 127.0.0.0/8 to: 0.0.0.0/0
  log: error
}}
socks pass {{
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect bind bindreply
  log: error
}}
socks block {{
  from: 0.0.0.0/0 to: 0.0.0.0/0
  log: connect error
}}
""".format(log=os.path.join(work, "danted.log"), port=port, method=args.auth)
    path = os.path.join(work, "danted.conf")
    with open(path, "w") as f:
        f.write(conf)
    argv = ["/usr/sbin/danted", "-f", path, "-p", os.path.join(work, "danted.pid"), "-N", "1"]
    sys.exit(peerlib.run_child(argv, port, args.port_file, args.watch_pid,
                               os.path.join(work, "danted.out")))


if __name__ == "__main__":
    main()
