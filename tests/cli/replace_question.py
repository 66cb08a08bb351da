#!/usr/bin/env python3
"""`tamblix-cli search --replace-category` on a terminal asks before it saves:
"n" (or the end of input) keeps the catalog's bytes, "y" replaces and saves.
The command runs on a pseudo-terminal, as a person would meet it."""
import os
import pty
import select
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1]


def run_on_terminal(args, env, answer):
    """Runs args with a pty as stdin, stdout and stderr; types `answer` once
    the question shows. Returns (exit code, everything shown)."""
    master, slave = pty.openpty()
    proc = subprocess.Popen(args, env=env, stdin=slave, stdout=slave, stderr=slave,
                            close_fds=True)
    os.close(slave)
    shown = b""
    answered = False
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the child closed the terminal
                break
            if not chunk:
                break
            shown += chunk
        if not answered and b"[y/n]" in shown:
            os.write(master, answer)
            answered = True
        if proc.poll() is not None and not ready:
            break
    else:
        proc.kill()
        os.close(master)
        return None, shown.decode(errors="replace")
    code = proc.wait(timeout=30)
    os.close(master)
    return code, shown.decode(errors="replace")


def main() -> int:
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini"))
        disc = os.path.join(tmp, "disc")
        os.makedirs(disc)
        for name in ("a.txt", "b.txt", "c.dat"):
            with open(os.path.join(disc, name), "w") as f:
                f.write(name)
        cat = os.path.join(tmp, "cat.txc")
        subprocess.run([CLI, "scan", cat, disc, "--title", "CD1"], env=env, check=True,
                       capture_output=True)
        with open(cat, "rb") as f:
            before = f.read()
        replace = [CLI, "search", cat, "--type", "txt", "--replace-category", "Texts"]

        for answer in (b"n\n", b"\x04"):  # a "no", and the end of input
            code, shown = run_on_terminal(replace, env, answer)
            if code != 0 or "Replace in 2 found entries and save the catalog?" not in shown:
                failures.append(f"answer {answer!r}: exit {code}, shown {shown!r}")
            with open(cat, "rb") as f:
                if f.read() != before:
                    failures.append(f"answer {answer!r} changed the catalog")

        code, shown = run_on_terminal(replace, env, b"y\n")
        if code != 0:
            failures.append(f"answer y: exit {code}, shown {shown!r}")
        ls = subprocess.run([CLI, "ls", cat, "CD1\\"], env=env, capture_output=True, text=True)
        want = sorted(["a.txt\ttxt", "b.txt\ttxt", "c.dat\tdat"])
        rows = sorted("\t".join(l.split("\t")[:2]) for l in ls.stdout.splitlines())
        cats = {l.split("\t")[0]: l.split("\t")[4] for l in ls.stdout.splitlines()}
        if rows != want or cats != {"a.txt": "Texts", "b.txt": "Texts", "c.dat": ""}:
            failures.append(f"after y: {ls.stdout!r}")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
