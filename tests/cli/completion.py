#!/usr/bin/env python3
"""The bash completion as bash runs it: the script is sourced, COMP_WORDS and
COMP_CWORD are set as the shell sets them, and COMPREPLY is compared.

Usage: completion.py CLI SCRIPT
"""
import os
import shutil
import subprocess
import sys
import tempfile

cli, script = sys.argv[1], sys.argv[2]
if not shutil.which("bash"):
    print("bash is missing; skipped")
    sys.exit(77)

failures = []
tmp = tempfile.mkdtemp()
os.chdir(tmp)
for d in ("root/music/rock", "root/movies", "root/mu sic", "sub"):
    os.makedirs(d)
open("root/music/a.mp3", "w").close()
open("notes.txt", "w").close()
env = dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini"),
           PATH=os.path.dirname(cli) + os.pathsep + os.environ["PATH"])
subprocess.run([cli, "scan", "cat.txc", "root", "--title", "CD1"], env=env, check=True,
               capture_output=True)

DRIVER = r'''
source "$1"; shift
COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
_tamblix_cli
printf '%s\n' "${COMPREPLY[@]}"
'''


def complete(*words):
    r = subprocess.run(["bash", "-c", DRIVER, "driver", script, "tamblix-cli", *words],
                       capture_output=True, text=True, env=env, timeout=60)
    if r.returncode or r.stderr:
        failures.append(f"{words}: exit {r.returncode}, {r.stderr}")
    return sorted(line for line in r.stdout.split("\n") if line)


def expect(words, wanted):
    got = complete(*words)
    if got != sorted(wanted):
        failures.append(f"{words}: {got}, wanted {sorted(wanted)}")


# Commands and options from the tables, the negative forms of switches too.
expect(["se"], ["search"])
expect(["im"], ["import", "import-catalog"])
expect(["help", "exp"], ["export"])
expect(["--"], ["--settings", "--help", "--version"])
expect(["export", "c.txc", "o.txt", "--lev"], ["--level"])
expect(["search", "c.txc", "--no-match"], ["--no-match-case"])
expect(["--settings", "s.ini", "ls", "--re"], ["--recursive"])
expect(["nosuch", "--"], [])
# Option values.
expect(["export", "cat.txc", "--unit", ""], ["bytes", "KB", "MB"])
expect(["import-catalog", "cat.txc", "x", "--format", "c"], ["cdcat", "catcli"])
expect(["tags", "--handler", "MP"], ["MP3", "MPG", "MPP"])
# Files: catalogs (and folders to walk into) for a catalog, any file elsewhere.
expect(["info", ""], ["cat.txc", "root", "sub"])
expect(["export", "cat.txc", "n"], ["notes.txt"])
expect(["scan", "cat.txc", "s"], ["sub"])
# Folders inside a catalog, for each way of quoting the word.
expect(["ls", "cat.txc", ""], ["CD1\\\\"])
expect(["ls", "cat.txc", "'CD1\\mu"], ["CD1\\music\\", "CD1\\mu sic\\"])
expect(["ls", "cat.txc", "CD1\\\\mu"], ["CD1\\\\music\\\\", "CD1\\\\mu\\ sic\\\\"])
expect(["ls", "cat.txc", "\"CD1\\\\mu"], ["CD1\\\\music\\\\", "CD1\\\\mu sic\\\\"])
expect(["ls", "cat.txc", "'CD1\\music\\"], ["CD1\\music\\rock\\"])
expect(["search", "cat.txc", "--in", "'CD1\\m"],
       ["CD1\\movies\\", "CD1\\music\\", "CD1\\mu sic\\"])
expect(["update", "cat.txc", "'C"], ["CD1\\"])
# Nothing to offer, and nothing said: a missing or damaged catalog.
expect(["ls", "missing.txc", "'CD1\\"], [])
expect(["ls", "notes.txt", "'CD1\\"], [])
expect(["ls", "cat.txc", "'CD1\\music\\", ""], [])

# The hidden command itself with wrong input: exit 0, no candidates.
for args in ([], ["x"], ["99", "a"], ["-1", "a", "b"], ["1"], ["3", "tamblix-cli", "ls"]):
    r = subprocess.run([cli, "__complete", *args], capture_output=True, text=True, env=env,
                       timeout=60)
    if r.returncode != 0 or r.stdout.count("\n") != 1:
        failures.append(f"__complete {args}: {r.returncode} {r.stdout!r} {r.stderr!r}")

shutil.rmtree(tmp)
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
