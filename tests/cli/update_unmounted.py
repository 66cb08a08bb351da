#!/usr/bin/env python3
"""tamblix-cli update and scan of a disc that is unmounted while they read
it: an ext2 image with a label, made here and mounted on a loop device.
Needs root; skipped (exit 77) otherwise, or when the kernel refuses the
mount or the open gate below.

    update_unmounted.py TAMBLIX_CLI

The command is held inside its walk without sleeps: the folder "m" in the
middle of the disc carries a fanotify open-permission mark, so the open of
it waits until this test answers. Meanwhile the disc is unmounted (lazily,
as the system does when a drive is pulled out: the command still holds
folders of it open). The command must fail and say why, and the catalog
must be byte for byte what it was.
"""
import ctypes
import os
import select
import struct
import subprocess
import sys

from mount_test import image, main, run, skip

CLI = os.path.abspath(sys.argv[1])

FAN_CLASS_CONTENT = 0x04
FAN_CLOEXEC = 0x01
FAN_MARK_ADD = 0x01
FAN_OPEN_PERM = 0x00010000
FAN_ONDIR = 0x40000000
FAN_ALLOW = 0x01
AT_FDCWD = -100
EVENT = struct.Struct("=IBBHQii")  # struct fanotify_event_metadata


class OpenGate:
    """Holds every open of one folder until release()."""

    def __init__(self, folder):
        libc = ctypes.CDLL(None, use_errno=True)
        libc.fanotify_mark.argtypes = [ctypes.c_int, ctypes.c_uint, ctypes.c_uint64,
                                       ctypes.c_int, ctypes.c_char_p]
        self.fd = libc.fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, os.O_RDONLY)
        if self.fd < 0:
            skip(f"no fanotify permission events: {os.strerror(ctypes.get_errno())}")
        if libc.fanotify_mark(self.fd, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_ONDIR, AT_FDCWD,
                              folder.encode()) != 0:
            os.close(self.fd)
            skip(f"cannot mark {folder}: {os.strerror(ctypes.get_errno())}")
        self.held = []

    def allow(self, fd):
        os.write(self.fd, struct.pack("=iI", fd, FAN_ALLOW))
        os.close(fd)

    def wait_for(self, proc, timeout=20.0):
        """Returns once `proc` is held opening the folder; lets others through."""
        while not self.held:
            if not select.select([self.fd], [], [], timeout)[0]:
                raise SystemExit(f"the command never opened the marked folder "
                                 f"(exit {proc.poll()})")
            data = os.read(self.fd, 4096)
            for off in range(0, len(data), EVENT.size):
                _, _, _, _, _, fd, pid = EVENT.unpack_from(data, off)
                if pid == proc.pid:
                    self.held.append(fd)
                else:
                    self.allow(fd)

    def release(self):
        for fd in self.held:
            self.allow(fd)
        os.close(self.fd)  # the mark goes with it
        self.held = []


def held_run(args, folder, env):
    """Runs the command held at its open of `folder`, which is unmounted
    meanwhile; its exit status and standard error."""
    gate = OpenGate(folder)
    p = subprocess.Popen([CLI, *args], env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
    try:
        gate.wait_for(p)
        run(["umount", "-l", os.path.dirname(folder)])
    finally:
        gate.release()
    _, err = p.communicate(timeout=30)
    return p.returncode, err


def test(tmp, mnt):
    # m: the folder the commands are held at
    disc = os.path.join(tmp, "disc.img")
    image(disc, "DISC7", {f"{d}/f{i}.txt": d * i for d in "amz" for i in range(20)})
    run(["mount", "-o", "loop", disc, mnt])
    catalog = os.path.join(tmp, "cat.txc")
    env = dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini"))
    run([CLI, "scan", catalog, mnt], env=env)
    # News on the disc, so that an update that went through would change the catalog.
    for d in "amz":
        with open(os.path.join(mnt, d, "new.txt"), "w") as f:
            f.write("new")
    with open(catalog, "rb") as f:
        before = f.read()

    failures = []
    for args in (["update", catalog, "DISC7", "--delete-missing"],
                 ["scan", catalog, mnt, "--title", "AGAIN", "--no-serial-check"]):
        if not os.path.ismount(mnt):
            run(["mount", "-o", "loop", disc, mnt])
        rc, err = held_run(args, os.path.join(mnt, "m"), env)
        with open(catalog, "rb") as f:
            after = f.read()
        if rc == 0:
            failures.append(f"{args[0]} reported success: {err!r}")
        if f"{mnt} was unmounted during the {args[0]}" not in err:
            failures.append(f"{args[0]}: no message naming the unmount: {err!r}")
        if after != before:
            failures.append(f"{args[0]} changed the catalog although its disc was unmounted")
    # The disc back: an update that runs to the end still works and finds the news.
    run(["mount", "-o", "loop", disc, mnt])
    run([CLI, "update", catalog, "DISC7"], env=env)
    listed = run([CLI, "ls", catalog, "DISC7\\m\\"], env=env).stdout.split()
    if "new.txt" not in listed:
        failures.append(f"a whole update did not add new.txt: {listed}")
    run(["umount", mnt])
    for f in failures:
        print(f)
    if failures:
        raise SystemExit(1)


main(test)
