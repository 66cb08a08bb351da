#!/usr/bin/env python3
"""Rescans random trees of awkward names with tamblix-cli and checks, after
every round of random changes and `update --delete-missing`, that the catalog
lists exactly what lstat sees, and that nothing below a folder the update could
not read has changed.

    rescan_property.py TAMBLIX_CLI

TAMBLIX_PROPERTY_ROUNDS (default 200) sets the number of rounds, spread over
several trees; TAMBLIX_PROPERTY_SEED picks another sequence. As root, the
updates that meet a folder of mode 000 or 644 run as uid 65534 through setpriv.
"""
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scan_matches_find import display, field, iso, written  # noqa: E402

CLI = os.path.abspath(sys.argv[1])
HERE = os.path.dirname(os.path.abspath(__file__))
MP3 = open(os.path.join(HERE, "..", "data", "audio", "mp3_cbr_id3v1.mp3"), "rb").read()
ROOT_USER = os.geteuid() == 0
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]

# Names that broke rescans: case twins, "\", bytes that are not UTF-8 next to
# their look-alike, a real character of the stand-in range, line breaks,
# wildcards and ";", leading spaces and dots.
NAMES = [b"a.txt", b"A.TXT", b"A.txt", b"back\\slash", b"\\lead", b"trail\\", b"caf\xe9",
         b"caf\xc3\xa9", b"\xff\xfe", b"\xef\x9d\x9c", b"new\nline", b"tab\tx", b"x;*.mp3",
         b"?", b" lead", b".hidden", b"song.mp3", b"SONG.MP3", b"d", b"D", b"e\xcc\x81",
         b"\xf0\x9f\x8e\xb5", b"semi;colon", b"%41", b"..x"]


def run(args, as_nobody=False, check=True):
    cmd = ([*NOBODY] if as_nobody else []) + [CLI, *args]
    r = subprocess.run(cmd, capture_output=True)
    if check and r.returncode not in (0, 3):
        raise SystemExit(f"{args}: exit {r.returncode}: {r.stderr.decode(errors='replace')}")
    return r


class Tree:
    def __init__(self, rng, base, index):
        self.rng = rng
        root_names = [b"r\xe9 [x;*]\\b", b"plain", b"caf\xc3\xa9 \\ *.*", b"\xff"]
        self.root = os.path.join(base, root_names[index % len(root_names)])
        os.mkdir(self.root)
        self.tagged = set()  # files whose bytes are the tagged MP3
        self.title = None if index % 2 else "V"
        for _ in range(12):
            self.create_file()
        for _ in range(3):
            self.make_subtree()

    # -- the disk --------------------------------------------------------
    def folders(self):
        out = []
        for dirpath, dirnames, _ in os.walk(self.root):
            out.append(dirpath)
        return out

    def entries(self, kind):
        out = []
        for dirpath, dirnames, filenames in os.walk(self.root):
            for n in (dirnames if kind == "dir" else filenames):
                p = os.path.join(dirpath, n)
                mode = os.lstat(p).st_mode
                if stat.S_ISDIR(mode) if kind == "dir" else stat.S_ISREG(mode):
                    out.append(p)
        return out

    def free_name(self, folder):
        for _ in range(20):
            n = self.rng.choice(NAMES) + (b"" if self.rng.random() < 0.6 else
                                          str(self.rng.randrange(100)).encode())
            if not os.path.lexists(os.path.join(folder, n)):
                return n
        return b"n%d" % self.rng.randrange(10 ** 9)

    def write(self, path, data, tagged):
        with open(path, "wb") as f:
            f.write(data)
        (self.tagged.add if tagged else self.tagged.discard)(path)

    def create_file(self, folder=None):
        folder = folder or self.rng.choice(self.folders())
        if self.rng.random() < 0.3:
            name = self.rng.choice([b"song.mp3", b"SONG.MP3", b"x;*.mp3", b"b\\s.mp3"])
            p = os.path.join(folder, name)
            if not os.path.lexists(p):
                self.write(p, MP3, True)
                return
        p = os.path.join(folder, self.free_name(folder))
        self.write(p, os.urandom(self.rng.randrange(3000)), False)

    def make_subtree(self, folders=None):
        folder = self.rng.choice(folders or self.folders())
        d = os.path.join(folder, self.free_name(folder))
        os.mkdir(d)
        for _ in range(self.rng.randrange(4)):
            self.create_file(d)
        if self.rng.random() < 0.5:
            sub = os.path.join(d, self.free_name(d))
            os.mkdir(sub)
            self.create_file(sub)

    def forget(self, path):
        self.tagged = {t for t in self.tagged if t != path and not t.startswith(path + b"/")}

    def change(self, keep_out):
        """One random change outside the folder `keep_out` (None: anywhere)."""
        def outside(p):
            return keep_out is None or not (p == keep_out or p.startswith(keep_out + b"/"))

        def apart(p):  # neither in it nor above it
            return outside(p) and (keep_out is None or not keep_out.startswith(p + b"/"))
        files = [f for f in self.entries("file") if outside(f)]
        dirs = [d for d in self.entries("dir") if apart(d)]
        op = self.rng.choice(["create", "delete", "resize", "retext", "remp3", "case", "swap",
                              "subtree", "rmtree", "link", "fifo"])
        if op == "create" or (not files and op in ("delete", "resize", "retext", "remp3", "case")):
            folders = [f for f in self.folders() if outside(f)]
            self.create_file(self.rng.choice(folders))
        elif op == "delete":
            f = self.rng.choice(files)
            os.remove(f)
            self.forget(f)
        elif op == "resize":
            f = self.rng.choice(files)
            with open(f, "ab") as h:
                h.write(b"+" * self.rng.randrange(1, 500))
            self.tagged.discard(f)
        elif op == "retext":
            tagged = [f for f in files if f in self.tagged] or files
            f = self.rng.choice(tagged)
            self.write(f, b"now plain text\n" * self.rng.randrange(1, 40), False)
        elif op == "remp3":
            self.write(self.rng.choice(files), MP3, True)
        elif op == "case":
            f = self.rng.choice(files)
            head, tail = os.path.split(f)
            new = os.path.join(head, tail.swapcase())
            if tail.swapcase() != tail and not os.path.lexists(new):
                os.rename(f, new)
                if f in self.tagged:
                    self.tagged.discard(f)
                    self.tagged.add(new)
        elif op == "swap" and files and dirs:
            f = self.rng.choice(files)
            folder = os.path.dirname(f)
            siblings = [d for d in dirs if os.path.dirname(d) == folder]
            if siblings:
                d = self.rng.choice(siblings)
                tmp = os.path.join(folder, b"swap.tmp")
                os.rename(f, tmp)
                os.rename(d, f)
                os.rename(tmp, d)
                moved = set()
                for t in self.tagged:
                    if t == f:
                        moved.add(d)
                    elif t.startswith(d + b"/"):
                        moved.add(f + t[len(d):])
                    else:
                        moved.add(t)
                self.tagged = moved
        elif op == "subtree":
            self.make_subtree([f for f in self.folders() if outside(f)])
        elif op == "rmtree" and dirs:
            d = self.rng.choice(dirs)
            shutil.rmtree(d)
            self.forget(d)
        elif op == "link":
            folder = self.rng.choice([f for f in self.folders() if outside(f)])
            target = self.rng.choice([b"..", b"missing", b"a.txt", b"/"])
            os.symlink(target, os.path.join(folder, self.free_name(folder)))
        elif op == "fifo":
            folder = self.rng.choice([f for f in self.folders() if outside(f)])
            os.mkfifo(os.path.join(folder, self.free_name(folder)))

    # -- what the catalog must say ---------------------------------------
    def volume_path(self):
        title = self.title if self.title else display(os.path.basename(self.root))
        return written(title) + "\\"

    def expected(self, previous, blocked):
        """{folder path shown: {name shown: (type, size, date, tagged)}} from lstat;
        the subtree of `blocked` is what the catalog held before."""
        out = {}
        todo = [(self.root, self.volume_path())]
        while todo:
            folder, cpath = todo.pop()
            shown = cpath
            if blocked is not None and folder == blocked:
                for k, v in previous.items():
                    if k.startswith(shown):
                        out[k] = v
                continue
            rows = {}
            for n in os.listdir(folder):
                p = os.path.join(folder, n)
                st = os.lstat(p)
                cap = display(n)
                if stat.S_ISDIR(st.st_mode):
                    rows[written(cap)] = ("folder", 0, iso(st.st_mtime), False)
                    todo.append((p, cpath + written(cap) + "\\"))
                else:
                    ext = cap.rsplit(".", 1)[1] if "." in cap else ""
                    ext = "".join(c.lower() if "A" <= c <= "Z" else c for c in ext)
                    tagged = stat.S_ISREG(st.st_mode) and p in self.tagged and ext == "mp3"
                    rows[written(cap)] = (field(ext), st.st_size, iso(st.st_mtime), tagged)
            out[shown] = rows
        return out


def listed(cat, volume):
    out, cur, last = {}, None, None
    text = run(["ls", cat, volume, "--recursive", "--tags"]).stdout.decode("utf-8")
    for line in text.split("\n"):
        if not line:
            continue
        if "\t" not in line and line.startswith("  ") and last is not None:
            rows = out[cur]
            t, size, date, _ = rows[last]
            rows[last] = (t, size, date, True)
        elif "\t" not in line:
            cur, last = line, None
            out[cur] = {}
        else:
            cols = line.split("\t")
            last = cols[0]
            out[cur][last] = (cols[1], int(cols[2]), cols[3], False)
    return out


def differences(want, got):
    diffs = []
    for k in sorted(set(want) | set(got)):
        if k not in got:
            diffs.append(f"folder missing from the catalog: {k}")
        elif k not in want:
            diffs.append(f"folder the disk lacks: {k}")
        elif want[k] != got[k]:
            for n in sorted(set(want[k]) | set(got[k])):
                if want[k].get(n) != got[k].get(n):
                    diffs.append(f"{k}{n}: disk {want[k].get(n)}, catalog {got[k].get(n)}")
    return diffs


def check_tree(rng, base, index, rounds):
    work = os.path.join(base, b"t%d" % index)
    os.mkdir(work)
    os.chmod(work, 0o755)
    tree = Tree(rng, work, index)
    catdir = os.path.join(work, b"cat")
    os.mkdir(catdir)
    os.chmod(catdir, 0o777)
    cat = os.path.join(catdir, b"c.txc").decode("utf-8", "surrogateescape")
    settings = os.path.join(catdir, b"s.ini").decode()
    args = ["--settings", settings]
    scan = ["scan", cat, tree.root.decode("utf-8", "surrogateescape")]
    if tree.title:
        scan += ["--title", tree.title]
    run(args + scan)
    if ROOT_USER:
        os.chmod(cat, 0o666)
    volume = tree.volume_path()
    model = tree.expected({}, None)
    failures = differences(model, listed(cat, volume))
    for r in range(rounds):
        if failures:
            break
        blocked, mode = None, None
        folders = [f for f in tree.folders() if f != tree.root]
        if folders and rng.random() < 0.25:
            blocked, mode = rng.choice(folders), rng.choice([0o000, 0o644])
        for _ in range(rng.randrange(1, 5)):
            tree.change(blocked)
        # A folder that can only be listed has nothing unreadable when it is empty.
        unreadable = blocked is not None and (mode == 0 or len(os.listdir(blocked)) > 0)
        if blocked:
            os.chmod(blocked, mode)
        try:
            opts = ["update", cat, volume, "--delete-missing"]
            r_ = run(args + opts, as_nobody=ROOT_USER and blocked is not None)
            if (r_.returncode == 3) != unreadable:
                failures.append(f"round {r}: update exited {r_.returncode}: "
                                + r_.stderr.decode(errors="replace"))
        finally:
            if blocked:
                os.chmod(blocked, 0o755)
        want = tree.expected(model, blocked)
        got = listed(cat, volume)
        failures += [f"round {r} ({'blocked %o' % mode if blocked else 'open'}): {d}"
                     for d in differences(want, got)]
        model = want
    return failures


def main():
    rounds = int(os.environ.get("TAMBLIX_PROPERTY_ROUNDS", "200"))
    seed = int(os.environ.get("TAMBLIX_PROPERTY_SEED", "20261208"))
    trees = 4
    failures = []
    global CLI
    with tempfile.TemporaryDirectory() as tmp:
        os.chmod(tmp, 0o755)
        # The build folder may lie where the user 65534 cannot reach: run a copy.
        copy = os.path.join(tmp, "tamblix-cli")
        shutil.copy(CLI, copy)
        os.chmod(copy, 0o755)
        CLI = copy
        for i in range(trees):
            rng = random.Random(seed * 31 + i)
            failures = check_tree(rng, tmp.encode(), i, rounds // trees)
            if failures:
                print(f"seed {seed}, tree {i}:")
                print("\n".join(failures[:40]))
                sys.exit(1)
    print(f"ok: {trees} trees, {rounds} rounds")


if __name__ == "__main__":
    main()
