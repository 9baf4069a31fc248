#!/usr/bin/python3
"""ftp-proxy on 127.0.0.1: a real FTP proxy for logins of the form USER user@host.

  ftp_proxy.py --dir TMP --port-file FILE --dest-port N [--watch-pid PID]

The proxy answers with its own banner and connects on to the host named in the
user name (port 21 unless written host:port), or to 127.0.0.1:N by default.
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
    ap.add_argument("--dest-port", type=int, required=True)
    ap.add_argument("--watch-pid", type=int, default=0)
    args = ap.parse_args()
    work = os.path.abspath(args.dir)
    os.makedirs(work, exist_ok=True)
    # The proxy drops its rights to nobody and still writes its log and pid file here.
    os.chmod(work, 0o777)
    peerlib.open_path_to(work)
    port = peerlib.free_port()
    conf = "\n".join([
        "[-Global-]",
        "Listen 127.0.0.1",
        "Port %d" % port,
        "ServerType standalone",
        "DestinationAddress 127.0.0.1",
        "DestinationPort %d" % args.dest_port,
        "AllowMagicUser yes",
        "PassivePortRange 20000:60000",
        "ActivePortRange 20000:60000",
        "User nobody",
        "Group nogroup",
        "LogDestination %s" % os.path.join(work, "ftp-proxy.log"),
        "PidFile %s" % os.path.join(work, "ftp-proxy.pid"),
        "MaxClients 64",
        "ForkLimit 1000",
    ]) + "\n"
    path = os.path.join(work, "ftp-proxy.conf")
    with open(path, "w") as f:
        f.write(conf)
    argv = ["/usr/sbin/ftp-proxy", "-d", "-n", "-f", path]
    sys.exit(peerlib.run_child(argv, port, args.port_file, args.watch_pid,
                               os.path.join(work, "ftp-proxy.out")))


if __name__ == "__main__":
    main()
