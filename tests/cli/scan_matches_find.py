#!/usr/bin/env python3
"""Scans a generated tree with tamblix-cli and checks that `ls` and `tree` give
every file and folder that the file system has (names, sizes, times) and every
member that `unzip -Z1` lists for each ZIP archive."""
import datetime
import os
import re
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1] if len(sys.argv) > 1 else "tamblix-cli"


def valid_utf8(raw: bytes) -> bool:
    try:
        raw.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def display(raw: bytes) -> str:
    # A name's caption: UTF-8 as it is; every byte that is not part of valid
    # UTF-8 (and every byte of a real U+F700..U+F7FF) as the character U+F700+byte.
    out = []
    for c in raw.decode("utf-8", "surrogateescape"):
        o = ord(c)
        if 0xDC80 <= o <= 0xDCFF:
            out.append(chr(0xF700 + o - 0xDC00))
        elif 0xF700 <= o <= 0xF7FF:
            out.extend(chr(0xF700 + b) for b in c.encode("utf-8"))
        else:
            out.append(c)
    return "".join(out)


def field(text: str) -> str:
    # How tamblix-cli writes a text column: one line, unambiguous.
    out = []
    for c in text:
        o = ord(c)
        if 0xF700 <= o <= 0xF7FF:
            out.append("\\x%02x" % (o - 0xF700))
        elif c == "\\":
            out.append("\\\\")
        elif c == "\t":
            out.append("\\t")
        elif c == "\n":
            out.append("\\n")
        elif o < 0x20 or o == 0x7F:
            out.append("\\x%02x" % o)
        else:
            out.append(c)
    return "".join(out)


def written(caption: str) -> str:
    # How tamblix-cli writes a name of a catalog path, and reads it back.
    out = []
    for i, c in enumerate(caption):
        o = ord(c)
        if 0xF700 <= o <= 0xF7FF:
            out.append("%%%02X" % (o - 0xF700))
        elif (c == "\\" or o < 0x20 or o == 0x7F or (i == 0 and c in "- ")
              or (c == "%" and re.fullmatch(r"[0-9A-Fa-f]{2}", caption[i + 1:i + 3]))
              or (c == "#" and re.fullmatch(r"[0-9]+", caption[i + 1:]))):
            out.append("%%%02X" % o)
        else:
            out.append(c)
    return "".join(out)


def iso(mtime: float) -> str:
    return datetime.datetime.fromtimestamp(round(mtime), datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S")


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True)
    if r.returncode != 0:
        sys.exit(f"{args}: exit {r.returncode}: {r.stderr.decode(errors='replace')}")
    return r.stdout.decode("utf-8")


def build(root: bytes):
    names = [b"plain.txt", b"Plain.TXT", b"with space.mp3", b"semi;colon", b"tab\tname",
             b"caf\xc3\xa9.txt", b"new\nline", b"latin1-\xe9t\xe9.txt", b".hidden", b"noext", b"emoji-\xf0\x9f\x8e\xb5.ogg"]
    for d in [b"", b"sub", b"sub/deeper", b"Sub", b"a.b", b"sub/deeper/deepest", b"dir \xe9"]:
        os.makedirs(os.path.join(root, d), exist_ok=True)
        for i, n in enumerate(names):
            p = os.path.join(root, d, n)
            with open(p, "wb") as f:
                f.write(b"x" * (i * 37 + len(d)))
            os.utime(p, (1_600_000_000 + i * 3601, 1_600_000_000 + i * 3601 + 0.4))
    os.symlink(b"plain.txt", os.path.join(root, b"link"))
    os.symlink(b"..", os.path.join(root, b"sub", b"loop"))
    os.symlink(b"missing", os.path.join(root, b"broken"))
    os.mkfifo(os.path.join(root, b"fifo"))
    with open(os.path.join(root, b"big.sparse"), "wb") as f:
        f.truncate(5 * 1024 ** 3)
    subprocess.run(["zip", "-qr", os.path.join(root, b"sub", b"arch.zip").decode(), "."],
                   cwd=os.path.join(root, b"sub", b"deeper"), check=True)
    # Data descriptors: zip writing to a pipe.
    with open(os.path.join(root, b"piped.zip"), "wb") as f:
        p = subprocess.run(["zip", "-qr", "-", "."], cwd=os.path.join(root, b"Sub"), capture_output=True, check=True)
        f.write(p.stdout)


def compare(root, cat):
    failures = []
    folders = 0
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        cpath = "V\\" + "".join(written(display(p)) + "\\" for p in rel.split(b"/") if rel != b".")
        listed = {}
        for line in run("ls", cat, cpath).splitlines():
            cols = line.split("\t")
            listed[cols[0]] = cols
        expected = {}
        for n in dirnames + filenames:
            st = os.lstat(os.path.join(dirpath, n))
            is_dir = os.path.isdir(os.path.join(dirpath, n)) and not os.path.islink(os.path.join(dirpath, n))
            expected[written(display(n))] = (0 if is_dir else st.st_size, iso(st.st_mtime))
        folders += 1
        if set(listed) != set(expected):
            failures.append(f"{cpath}: catalog {sorted(set(listed) - set(expected))} "
                            f"disk {sorted(set(expected) - set(listed))}")
            continue
        for name, (size, mtime) in expected.items():
            cols = listed[name]
            if int(cols[2]) != size or cols[3] != mtime:
                failures.append(f"{cpath}{name}: catalog {cols[2]} {cols[3]}, disk {size} {mtime}")
        for n in filenames:
            if n.endswith(b".zip"):
                raw = subprocess.run(["unzip", "-Z1", os.path.join(dirpath, n)], capture_output=True,
                                     check=True).stdout.split(b"\n")
                # Names without the UTF-8 flag are the legacy ZIP code page.
                members = [m.decode("utf-8") if valid_utf8(m) else m.decode("cp437") for m in raw if m]
                # unzip shows control characters in caret notation.
                members = [m.replace("^J", "\n").replace("^I", "\t") for m in members]
                members = sorted(written(m) for m in members if not m.endswith("/"))
                got = sorted(l.split("\t")[0] for l in run("ls", cat, cpath + written(display(n)) + "\\").splitlines())
                if members != got:
                    failures.append(f"{cpath}{written(display(n))}: members {got} != unzip {members}")
    return failures, folders


def main():
    with tempfile.TemporaryDirectory() as tmp:
        tmpb = tmp.encode()
        root = os.path.join(tmpb, b"vol")
        os.mkdir(root)
        build(root)
        cat = os.path.join(tmp, "c.txc")
        env_settings = os.path.join(tmp, "settings.ini")
        subprocess.run([CLI, "--settings", env_settings, "scan", cat, root.decode(), "--title", "V"],
                       check=True, capture_output=True)
        failures, folders = compare(root, cat)
        # An update that deletes what is gone ends with the same picture. The
        # pause makes the changed folders' times differ from the first scan's.
        time.sleep(1.1)
        os.remove(os.path.join(root, b"plain.txt"))
        subprocess.run(["rm", "-rf", os.path.join(root, b"sub", b"deeper", b"deepest")], check=True)
        with open(os.path.join(root, b"Sub", b"added.txt"), "wb") as f:
            f.write(b"new file")
        with open(os.path.join(root, b"noext"), "ab") as f:
            f.write(b"grown")
        subprocess.run([CLI, "--settings", env_settings, "update", cat, "V", "--delete-missing"],
                       check=True, capture_output=True)
        more, _ = compare(root, cat)
        failures += ["after update: " + m for m in more]
        tree = run("tree", cat)
        if "Collections:" not in tree:
            failures.append("tree output lacks the collections line")
        if failures:
            print("\n".join(failures))
            sys.exit(1)
        print(f"ok: {folders} folders match")


if __name__ == "__main__":
    main()
