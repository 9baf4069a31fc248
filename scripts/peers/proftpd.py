#!/usr/bin/python3
"""ProFTPD on 127.0.0.1 (or ::1) for tests: MLSD, MLST, MFMT, HASH and the X digests,
EPSV/EPRT, and explicit FTPS.

  proftpd.py --dir TMP --root DIR --port-file FILE [--user NAME --password PW]
             [--cert PEM --key PEM [--no-session-reuse]] [--ipv6] [--watch-pid PID]

ProFTPD is not installed (its package would remove vsftpd): it runs from the folder
unpack_proftpd.sh fills, unpacked on first use when missing. The user lives in a file of
ours with the launcher's own uid, so no system user is needed.
"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peerlib  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def proftpd_root():
    root = os.environ.get("OXBROOK_PROFTPD_ROOT") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
        "oxbrook-peers", "proftpd")
    if not os.access(os.path.join(root, "usr/sbin/proftpd"), os.X_OK):
        subprocess.run([os.path.join(HERE, "unpack_proftpd.sh"), root], check=True)
    return root


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--root", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--user", default="oxpro")
    ap.add_argument("--password", default="oxpass")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--no-session-reuse", action="store_true")
    ap.add_argument("--ipv6", action="store_true")
    ap.add_argument("--watch-pid", type=int, default=0)
    args = ap.parse_args()

    base = proftpd_root()
    work = os.path.abspath(args.dir)
    os.makedirs(work, exist_ok=True)
    root = os.path.abspath(args.root)
    host = "::1" if args.ipv6 else "127.0.0.1"
    port = peerlib.free_port(host)
    uid, gid = os.getuid(), os.getgid()
    hashed = subprocess.run(["openssl", "passwd", "-1", args.password], capture_output=True,
                            text=True, check=True).stdout.strip()
    users = os.path.join(work, "users")
    with open(users, "w") as f:
        f.write("%s:%s:%d:%d::%s:/bin/false\n" % (args.user, hashed, uid, gid, root))
    os.chmod(users, 0o600)
    conf = [
        "ModulePath " + os.path.join(base, "usr/lib/proftpd"),
        "LoadModule mod_digest.c",
        "ServerType standalone", "DefaultServer on", "ServerName \"Oxbrook proftpd test\"",
        "Port %d" % port, "DefaultAddress " + host, "SocketBindTight on",
        "UseIPv6 " + ("on" if args.ipv6 else "off"),
        "User %s" % ("root" if uid == 0 else "nobody"), "Group %s" % ("root" if gid == 0 else "nogroup"),
        "WtmpLog off", "DelayTable none", "TransferLog none", "UseReverseDNS off",
        "ScoreboardFile " + os.path.join(work, "scoreboard"),
        "PidFile " + os.path.join(work, "proftpd.pid"),
        "SystemLog " + os.path.join(work, "proftpd.log"),
        "AuthUserFile " + users, "AuthOrder mod_auth_file.c",
        "RequireValidShell off", "DefaultRoot ~", "RootLogin on", "Umask 022",
        "PassivePorts %d %d" % peerlib.passive_range(),
        "AllowOverwrite on", "AllowStoreRestart on",
        "DigestEngine on", "MaxInstances 100",
    ]
    if args.cert:
        key = os.path.join(work, "proftpd.key")
        with open(args.key, "rb") as src, open(key, "wb") as dst:
            dst.write(src.read())
        os.chmod(key, 0o600)
        conf += ["LoadModule mod_tls.c", "<IfModule mod_tls.c>", "TLSEngine on",
                 "TLSProtocol TLSv1.2 TLSv1.3",
                 "TLSRSACertificateFile " + os.path.abspath(args.cert),
                 "TLSRSACertificateKeyFile " + key, "TLSRequired off",
                 "TLSLog " + os.path.join(work, "tls.log")]
        if args.no_session_reuse:
            conf += ["TLSOptions NoSessionReuseRequired"]
        conf += ["</IfModule>"]
    conf += ["<Limit ALL>", "AllowAll", "</Limit>"]
    path = os.path.join(work, "proftpd.conf")
    with open(path, "w") as f:
        f.write("\n".join(conf) + "\n")
    sys.exit(peerlib.run_child([os.path.join(base, "usr/sbin/proftpd"), "-n", "-q", "-c", path],
                               port, args.port_file, args.watch_pid,
                               os.path.join(work, "proftpd.out"), host=host))


if __name__ == "__main__":
    main()
