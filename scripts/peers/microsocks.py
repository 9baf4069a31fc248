#!/usr/bin/python3
"""microsocks SOCKS 5 server on 127.0.0.1, with or without a password.

  microsocks.py --dir TMP --port-file FILE [--user NAME --password PW]
                [--watch-pid PID]
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peerlib  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--user")
    ap.add_argument("--password")
    ap.add_argument("--watch-pid", type=int, default=0)
    args = ap.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    port = peerlib.free_port()
    argv = ["/usr/bin/microsocks", "-i", "127.0.0.1", "-p", str(port)]
    if args.user:
        argv += ["-u", args.user, "-P", args.password or ""]
    sys.exit(peerlib.run_child(argv, port, args.port_file, args.watch_pid,
                               os.path.join(args.dir, "microsocks.out")))


if __name__ == "__main__":
    main()
