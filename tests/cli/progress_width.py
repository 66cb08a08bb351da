#!/usr/bin/env python3
"""The progress line of a scan on a terminal fits the terminal's width: the
program runs on a pseudo-terminal of a given size, and every progress line it
draws is measured.

Usage: progress_width.py CLI
"""
import fcntl
import os
import pty
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios

cli = sys.argv[1]
tmp = tempfile.mkdtemp()
# A long path, with letters of two bytes: the line must be cut by characters.
root = os.path.join(tmp, "r\u00e9pertoire " * 12, "sub " * 20)
os.makedirs(root)
for i in range(30):
    open(os.path.join(root, f"{i:03} " + "\u00e9t\u00e9 " * 10 + ".txt"), "w").close()

failures = []
for columns in (40, 61, 100):
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    env = dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini"))
    proc = subprocess.Popen([cli, "scan", os.path.join(tmp, f"c{columns}.txc"), root],
                            stdin=slave, stdout=slave, stderr=slave, env=env, close_fds=True)
    os.close(slave)
    out = b""
    while True:
        ready, _, _ = select.select([master], [], [], 60)
        if not ready:
            failures.append(f"{columns}: no output for a minute")
            proc.kill()
            break
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the other end closed
            break
        if not chunk:
            break
        out += chunk
    os.close(master)
    if proc.wait(timeout=60) != 0:
        failures.append(f"{columns}: exit {proc.returncode}: {out!r}")
    text = out.decode("utf-8")  # a cut inside a character would fail here
    drawn = [part[3:] for part in text.replace("\n", "\r").split("\r")
             if part.startswith("\x1b[K") and " entries, " in part]
    if not drawn:
        failures.append(f"{columns}: no progress line in {text!r}")
    for line in drawn:
        if len(line) > columns - 1:
            failures.append(f"{columns}: {len(line)} characters: {line!r}")
    if not any("..." in line for line in drawn):
        failures.append(f"{columns}: no line was shortened: {drawn!r}")

shutil.rmtree(tmp)
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
