#!/usr/bin/env python3
"""tamblix-cli watch against real mounts: ext2 images made here, mounted on
a loop device. Needs root; skipped (exit 77) otherwise or when the kernel
refuses to mount.

    watch_mounts.py TAMBLIX_CLI

A disc with the label of a catalogued volume but another serial is not
taken for it; the catalogued one is updated when mounted; one unmounted
before its update could begin leaves the catalog byte for byte as it was;
SIGTERM ends the watch with exit 0.
"""
import fcntl
import os
import select
import signal
import subprocess
import sys
import time

from mount_test import image, main, run

CLI = os.path.abspath(sys.argv[1])


class Watch:
    def __init__(self, args):
        self.p = subprocess.Popen([CLI, "watch", *args], stderr=subprocess.PIPE)
        self.buf = b""
        self.seen = []

    def line(self, timeout):
        end = time.monotonic() + timeout
        while b"\n" not in self.buf:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.p.stderr], [], [], left)[0]:
                return None
            chunk = os.read(self.p.stderr.fileno(), 4096)
            if not chunk:
                return None
            self.buf += chunk
        text, self.buf = self.buf.split(b"\n", 1)
        self.seen.append(text.decode())
        return self.seen[-1]

    def expect(self, start, timeout=1.0, contains=""):
        """The next line starting with `start`, within `timeout` seconds."""
        end = time.monotonic() + timeout
        while True:
            line = self.line(max(0.0, end - time.monotonic()))
            if line is None:
                raise SystemExit(f"no line '{start}...{contains}' within {timeout} s; "
                                 f"lines so far: {self.seen}")
            if line.startswith(start) and contains in line:
                return line

    def stop(self):
        self.p.send_signal(signal.SIGTERM)
        self.expect("stopped", 5)
        rc = self.p.wait(5)
        if rc != 0:
            raise SystemExit(f"watch exited {rc} on SIGTERM")


def ls(catalog):
    return run([CLI, "ls", catalog, "MUSIC1"]).stdout.split()


def test(tmp, mnt):
    disc = os.path.join(tmp, "disc.img")
    other = os.path.join(tmp, "other.img")
    image(disc, "MUSIC1", {"a.txt": "a.txt", "sub/b.txt": "sub/b.txt"})
    image(other, "MUSIC1", {"x.txt": "x.txt"})  # the same label, another serial
    catalog = os.path.join(tmp, "cat.txc")
    run(["mount", "-o", "loop", disc, mnt])
    run([CLI, "scan", catalog, mnt])
    with open(os.path.join(mnt, "new.txt"), "w") as f:
        f.write("new")
    run(["umount", mnt])
    assert "new.txt" not in ls(catalog)

    w = Watch([catalog, "--update"])
    w.expect("watching for mounts", 5)
    run(["mount", "-o", "loop", other, mnt])
    w.expect("mounted: " + mnt)
    run(["umount", mnt])
    w.expect("unmounted: " + mnt)
    if any("is mounted at" in l for l in w.seen):
        raise SystemExit(f"a disc with another serial was taken for MUSIC1: {w.seen}")

    run(["mount", "-o", "loop", disc, mnt])
    w.expect("mounted: " + mnt)
    w.expect("MUSIC1 in cat.txc is mounted at " + mnt)
    w.expect("updated MUSIC1 in cat.txc", 10)
    run(["umount", mnt])
    w.expect("unmounted: " + mnt)
    if "new.txt" not in ls(catalog):
        raise SystemExit(f"the update did not add new.txt: {ls(catalog)}")
    w.stop()

    # Another change on the disc; then the disc leaves while the watch waits
    # for the catalog, which another writer holds.
    run(["mount", "-o", "loop", disc, mnt])
    with open(os.path.join(mnt, "later.txt"), "w") as f:
        f.write("later")
    run(["umount", mnt])
    with open(catalog, "rb") as f:
        before = f.read()
    held = open(catalog, "rb")
    fcntl.flock(held, fcntl.LOCK_EX)
    w = Watch([catalog, "--update", "--delete-missing", "--wait", "30"])
    w.expect("watching for mounts", 5)
    run(["mount", "-o", "loop", disc, mnt])
    w.expect("MUSIC1 in cat.txc is mounted at " + mnt)
    time.sleep(0.2)
    run(["umount", mnt])
    fcntl.flock(held, fcntl.LOCK_UN)
    held.close()
    line = w.expect("update of MUSIC1 in cat.txc abandoned", 10)
    if "was unmounted" not in line:
        raise SystemExit(f"abandoned for another reason: {line}")
    with open(catalog, "rb") as f:
        if f.read() != before:
            raise SystemExit("the catalog changed although its disc was unmounted")
    w.stop()


main(test)
