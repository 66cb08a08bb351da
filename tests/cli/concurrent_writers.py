#!/usr/bin/env python3
"""Starts two to four tamblix-cli writers (scan, update, edit, import) on one
catalog at once, round after round, and checks after each round that every
change a writer reported as saved is in the catalog, earlier rounds' changes
included, and that every writer that did not save said who held the catalog
and exited non-zero.

    concurrent_writers.py TAMBLIX_CLI

TAMBLIX_WRITER_ROUNDS (default 20) sets the number of rounds;
TAMBLIX_WRITER_SEED picks another sequence.
"""
import json
import os
import random
import subprocess
import sys
import tempfile

CLI = os.path.abspath(sys.argv[1])
ROUNDS = int(os.environ.get("TAMBLIX_WRITER_ROUNDS", "20"))
SEED = int(os.environ.get("TAMBLIX_WRITER_SEED", "7"))


def run(args, check=True):
    r = subprocess.run([CLI, *args], capture_output=True, text=True)
    if check and r.returncode != 0:
        raise SystemExit(f"{args}: exit {r.returncode}: {r.stderr}")
    return r


def make_tree(root, files, seed):
    rng = random.Random(seed)
    os.makedirs(root)
    for i in range(files):
        sub = os.path.join(root, f"d{i % 7}")
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, f"f{i}.bin"), "wb") as f:
            f.write(os.urandom(rng.randrange(1, 64)))


class Model:
    """What the catalog must hold: volumes, files added to them, comments."""

    def __init__(self):
        self.volumes = set()
        self.files = {}  # volume -> set of names directly in the volume
        self.comments = {}  # volume -> last comments saved

    def check(self, catalog, where):
        vols = {}
        for line in run(["ls", catalog, "--json"]).stdout.splitlines():
            v = json.loads(line)
            if v["name"] in vols:
                raise SystemExit(f"{where}: volume {v['name']} twice")
            vols[v["name"]] = v
        missing = self.volumes - set(vols)
        if missing:
            raise SystemExit(f"{where}: saved volumes lost: {sorted(missing)}")
        for vol, names in self.files.items():
            listed = {row.split("\t")[0] for row in run(["ls", catalog, vol]).stdout.splitlines()}
            if names - listed:
                raise SystemExit(f"{where}: files lost from {vol}: {sorted(names - listed)}")
        for vol, text in self.comments.items():
            if vols[vol]["comments"] != text:
                raise SystemExit(f"{where}: {vol} has comments {vols[vol]['comments']!r}, "
                                 f"saved was {text!r}")


def main():
    rng = random.Random(SEED)
    base = tempfile.mkdtemp(prefix="tamblix-writers-")
    catalog = os.path.join(base, "c.txc")
    model = Model()
    # Two volumes to update and edit, one large enough to keep a writer busy.
    for name, files in (("big", 3000), ("small", 40)):
        make_tree(os.path.join(base, name), files, len(name))
        run(["scan", catalog, os.path.join(base, name), "--title", name])
        model.volumes.add(name)
        model.files[name] = set()
    scanned = 0
    lost = saved = 0
    for rnd in range(ROUNDS):
        writers = []
        kinds = rng.sample(["scan", "update-big", "update-small", "edit", "import"],
                           rng.randint(2, 4))
        for i, kind in enumerate(kinds):
            wait = rng.choice(["0", "0.2", "30"])
            if kind == "scan":
                scanned += 1
                title = f"new{scanned}"
                src = os.path.join(base, title)
                make_tree(src, rng.randrange(5, 400), scanned)
                args = ["scan", catalog, src, "--title", title]
                effect = ("volume", title)
            elif kind.startswith("update"):
                vol = kind.split("-")[1]
                name = f"r{rnd}.txt"
                with open(os.path.join(base, vol, name), "w") as f:
                    f.write(name)
                args = ["update", catalog, vol]
                effect = ("file", vol, name)
            elif kind == "edit":
                vol = rng.choice(["big", "small"])
                text = f"round {rnd} writer {i}"
                args = ["edit", catalog, vol, "--comments", text]
                effect = ("comments", vol, text)
            else:
                title = f"imported{rnd}"
                csv = os.path.join(base, f"{title}.csv")
                with open(csv, "w") as f:
                    f.write(f'"{title}","","a.txt","1","2021-01-01 00:00:00"\n')
                args = ["import", catalog, csv, "--fields", "Volume,Path,Name,Size,Date"]
                effect = ("volume", title)
            writers.append((args + ["--wait", wait], effect))
        procs = [(subprocess.Popen([CLI, *a], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True), a, e) for a, e in writers]
        for p, args, effect in procs:
            out, err = p.communicate()
            if p.returncode in (0, 3):
                saved += 1
                if effect[0] == "volume":
                    model.volumes.add(effect[1])
                elif effect[0] == "file":
                    model.files[effect[1]].add(effect[2])
                else:
                    model.comments[effect[1]] = effect[2]
                continue
            lost += 1
            if "Another program is writing the catalog" not in err or "process" not in err:
                raise SystemExit(f"round {rnd}: {args} exit {p.returncode} without saying who "
                                 f"holds the catalog: {err}")
        model.check(catalog, f"round {rnd}")
    if saved == 0 or lost == 0:
        raise SystemExit(f"the rounds never raced: {saved} saved, {lost} refused")
    print(f"{ROUNDS} rounds: {saved} writers saved, {lost} refused, nothing lost")


if __name__ == "__main__":
    main()
