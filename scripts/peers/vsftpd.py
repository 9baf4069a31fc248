#!/usr/bin/python3
"""vsftpd on 127.0.0.1 for tests and benchmarks that need a fast C server.

  vsftpd.py --dir TMP --root DIR --port-file FILE [--user NAME --password PW]
            [--anon-root DIR] [--watch-pid PID] [--cert PEM --key PEM [--implicit]]

vsftpd cannot bind port 0, so a free port is chosen first and the port file is
written once the server accepts. Local logins need a real system user: it is
created (useradd, chpasswd) when missing, with a PAM service file of ours that
skips the failed-login delay. The user's sessions are confined to --root.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peerlib  # noqa: E402

PAM_SERVICE = "oxbrook-vsftpd"
PAM_TEXT = ("auth required pam_unix.so nodelay\n"
            "account required pam_unix.so\n"
            "session optional pam_permit.so\n")


def _retry(argv, **kwargs):
    """Runs a user-database command; tests running side by side may hold its lock."""
    for attempt in range(50):
        r = subprocess.run(argv, capture_output=True, **kwargs)
        if r.returncode == 0:
            return r
        time.sleep(0.1)
    raise RuntimeError("%s failed: %s" % (argv[0], r.stderr.decode(errors="replace")))


def user_exists(name):
    return subprocess.run(["id", "-u", name], capture_output=True).returncode == 0


def ensure_user(name, password):
    if not user_exists(name):
        r = subprocess.run(["useradd", "-M", "-d", "/tmp", "-s", "/bin/sh", name],
                           capture_output=True)
        if r.returncode != 0 and not user_exists(name):
            _retry(["useradd", "-M", "-d", "/tmp", "-s", "/bin/sh", name])
    else:
        # The server changes into the home folder before its own root: it must exist.
        home = subprocess.run(["getent", "passwd", name], capture_output=True,
                              text=True).stdout.split(":")[5]
        if not os.path.isdir(home):
            _retry(["usermod", "-d", "/tmp", name])
    # Setting the password rewrites the shadow file while servers of other tests may be checking
    # a login against it: set it only when it changes (the last one set is noted beside it).
    note = "/etc/oxbrook-peer-%s.password" % name
    try:
        with open(note) as f:
            if f.read() == password and user_exists(name):
                return
    except OSError:
        pass
    _retry(["chpasswd"], input=("%s:%s\n" % (name, password)).encode())
    tmp = "%s.%d.tmp" % (note, os.getpid())
    with open(tmp, "w") as f:
        f.write(password)
    os.chmod(tmp, 0o600)
    os.replace(tmp, note)


def ensure_pam():
    path = "/etc/pam.d/" + PAM_SERVICE
    try:
        with open(path) as f:
            if f.read() == PAM_TEXT:
                return
    except OSError:
        pass
    tmp = "%s.%d.tmp" % (path, os.getpid())
    with open(tmp, "w") as f:
        f.write(PAM_TEXT)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--root", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--user", default="oxftp")
    ap.add_argument("--password", default="oxpass")
    ap.add_argument("--anon-root")
    ap.add_argument("--watch-pid", type=int, default=0)
    ap.add_argument("--cert", help="PEM certificate: FTPS required for every login")
    ap.add_argument("--key", help="PEM private key of --cert")
    ap.add_argument("--implicit", action="store_true", help="TLS from the first byte")
    args = ap.parse_args()

    ensure_user(args.user, args.password)
    ensure_pam()
    root = os.path.abspath(args.root)
    # The system user must be able to write where the tests upload.
    uid = int(subprocess.run(["id", "-u", args.user], capture_output=True).stdout)
    gid = int(subprocess.run(["id", "-g", args.user], capture_output=True).stdout)
    for dirpath, dirnames, filenames in os.walk(root):
        for n in [dirpath] + [os.path.join(dirpath, x) for x in dirnames + filenames]:
            os.lchown(n, uid, gid)

    peerlib.open_path_to(root)

    work = os.path.abspath(args.dir)
    empty = os.path.join(work, "empty")
    os.makedirs(empty, exist_ok=True)
    os.chmod(empty, 0o755)
    port = peerlib.free_port()
    pasv_low, pasv_high = peerlib.passive_range()
    conf = [
        "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1",
        "listen_port=%d" % port, "background=NO",
        "secure_chroot_dir=" + empty,
        "pasv_enable=YES", "pasv_min_port=%d" % pasv_low, "pasv_max_port=%d" % pasv_high,
        "port_enable=YES", "connect_from_port_20=NO",
        "write_enable=YES", "local_enable=YES", "local_umask=022",
        "chmod_enable=YES", "delay_failed_login=0", "delay_successful_login=0",
        "seccomp_sandbox=NO", "pam_service_name=" + PAM_SERVICE,
        "chroot_local_user=YES", "allow_writeable_chroot=YES",
        "local_root=" + root, "ftpd_banner=Oxbrook vsftpd test server ready.",
        "xferlog_enable=NO", "vsftpd_log_file=" + os.path.join(work, "vsftpd.log"),
        "max_per_ip=0", "max_clients=0", "use_localtime=NO",
        "userlist_enable=NO",
    ]
    if args.anon_root:
        conf += ["anonymous_enable=YES", "anon_root=" + os.path.abspath(args.anon_root),
                 "no_anon_password=YES", "anon_upload_enable=YES",
                 "anon_mkdir_write_enable=YES"]
    else:
        conf += ["anonymous_enable=NO"]
    if args.cert:
        key = os.path.join(work, "vsftpd.key")
        with open(args.key, "rb") as src, open(key, "wb") as dst:
            dst.write(src.read())
        os.chmod(key, 0o600)
        # require_ssl_reuse (the default, written out here) refuses data connections that
        # do not resume the control connection's TLS session.
        conf += ["ssl_enable=YES", "rsa_cert_file=" + os.path.abspath(args.cert),
                 "rsa_private_key_file=" + key, "require_ssl_reuse=YES",
                 "force_local_logins_ssl=YES", "force_local_data_ssl=YES",
                 "allow_anon_ssl=YES", "force_anon_logins_ssl=YES",
                 "force_anon_data_ssl=YES", "ssl_ciphers=HIGH"]
        if args.implicit:
            conf += ["implicit_ssl=YES"]
    path = os.path.join(work, "vsftpd.conf")
    with open(path, "w") as f:
        f.write("\n".join(conf) + "\n")
    sys.exit(peerlib.run_child(["/usr/sbin/vsftpd", path], port, args.port_file,
                               args.watch_pid, os.path.join(work, "vsftpd.out")))


if __name__ == "__main__":
    main()
