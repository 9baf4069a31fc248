"""Shared plumbing of the loopback test peers: free ports, port files, stopping.

Every peer binds 127.0.0.1 only, writes the port it listens on to a file the
caller names (written to a temporary name first, then renamed, so a reader
never sees half a number), and ends when it gets SIGTERM or when the process
it watches is gone -- a crashed test must not leave servers behind.
"""
import os
import signal
import socket
import subprocess
import sys
import threading
import time


def free_port(host="127.0.0.1"):
    """A port on host that nothing listened on a moment ago."""
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def passive_range():
    """The ports a server may listen on for passive data connections.

    vsftpd tries a few random ports of its range and ends the session ("500
    OOPS: vsf_sysutil_bind") when all of them are taken; ProFTPD falls back to
    a port the kernel picks. A port of the kernel's ephemeral range is taken
    for a minute after every client connection from it (TIME-WAIT), and
    thousands of small transfers leave thousands of those: the range lies
    below the ephemeral one. It stays wide,
    so that servers of tests running side by side rarely pick the same port
    (the server then tries another).
    """
    low, high = 32768, 60999
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            low, high = (int(x) for x in f.read().split()[:2])
    except (OSError, ValueError):
        pass
    if low - 10000 >= 4096:
        return 10000, low - 1
    if 65535 - high >= 4096:
        return high + 1, 65535
    return 1024, 65535


def write_port_file(path, port):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


def open_path_to(path):
    """Lets every user pass through the folders above path: a private temporary folder
    (mode 700) would lock out a server that drops its rights."""
    parent = os.path.dirname(os.path.abspath(path))
    while parent not in ("/", ""):
        mode = os.stat(parent).st_mode
        if not mode & 0o001:
            os.chmod(parent, (mode & 0o7777) | 0o011)
        parent = os.path.dirname(parent)


def wait_listening(port, timeout=10.0, proc=None, host="127.0.0.1"):
    """Polls until something accepts on host:port; False on time-out or
    when proc ended first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            return False
        try:
            with socket.create_connection((host, port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def descendants(pid):
    """PIDs below pid, deepest last, read from /proc (children files)."""
    out = []
    stack = [pid]
    while stack:
        p = stack.pop()
        try:
            with open("/proc/%d/task/%d/children" % (p, p)) as f:
                kids = [int(x) for x in f.read().split()]
        except OSError:
            kids = []
        out.extend(kids)
        stack.extend(kids)
    return out


def stop_tree(proc):
    """Ends a server started by us and every process it forked, by PID: some
    servers run each session in its own process group, out of reach of a
    group signal."""
    if proc is None or proc.poll() is not None:
        return
    pids = [proc.pid] + descendants(proc.pid)
    for p in pids:
        try:
            os.kill(p, signal.SIGTERM)
        except ProcessLookupError:
            pass
    try:
        proc.wait(timeout=3)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    for p in pids[1:]:
        try:
            os.kill(p, signal.SIGKILL)
        except ProcessLookupError:
            pass


def watch_pid(pid, on_gone, interval=0.3):
    """Calls on_gone once the process pid no longer exists."""
    if not pid:
        return

    def loop():
        while True:
            try:
                os.kill(pid, 0)
            except ProcessLookupError:
                on_gone()
                return
            except PermissionError:
                pass
            time.sleep(interval)

    threading.Thread(target=loop, daemon=True).start()


def run_child(argv, port, port_file, watch, log_path=None, timeout=10.0, host="127.0.0.1"):
    """Starts a foreground server, waits until it listens on port, announces
    the port, then stays until SIGTERM, the watched process's end, or the
    server's own end. Returns the exit status for sys.exit."""
    log = open(log_path, "ab") if log_path else subprocess.DEVNULL
    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    done = threading.Event()

    def finish(*_):
        done.set()

    signal.signal(signal.SIGTERM, finish)
    signal.signal(signal.SIGINT, finish)
    watch_pid(watch, finish)
    if not wait_listening(port, timeout, proc, host):
        sys.stderr.write("peer: %s did not listen on port %d\n" % (argv[0], port))
        stop_tree(proc)
        return 1
    write_port_file(port_file, port)
    while not done.wait(0.2):
        if proc.poll() is not None:
            sys.stderr.write("peer: %s ended with %d\n" % (argv[0], proc.returncode))
            return 1
    stop_tree(proc)
    return 0
