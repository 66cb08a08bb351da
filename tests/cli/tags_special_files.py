#!/usr/bin/env python3
"""`tamblix-cli tags` reads regular files only: a FIFO (nobody writing to it)
and a link to one are skipped at once, with a note, while the tagged file
given with them is still read. A hang fails through the timeout."""
import os
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
AUDIO = sys.argv[2]  # a tagged MP3 fixture


def main() -> int:
    with tempfile.TemporaryDirectory() as tmp:
        fifo = os.path.join(tmp, "pipe.mp3")
        os.mkfifo(fifo)
        link = os.path.join(tmp, "link.mp3")
        os.symlink(fifo, link)
        env = dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini"))
        try:
            run = subprocess.run([CLI, "tags", fifo, AUDIO, link], env=env,
                                 capture_output=True, text=True, timeout=30)
        except subprocess.TimeoutExpired:
            print("tags hangs on a FIFO")
            return 1
        failures = []
        if run.returncode != 0:
            failures.append(f"exit status {run.returncode}: {run.stderr}")
        for path in (fifo, link):
            if f"{path}: not a regular file, skipped" not in run.stderr:
                failures.append(f"no note for {path}: {run.stderr!r}")
            if path in run.stdout:
                failures.append(f"{path} printed as read: {run.stdout!r}")
        if AUDIO not in run.stdout:
            failures.append(f"the tagged file was not read: {run.stdout!r}")
        for f in failures:
            print(f)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
