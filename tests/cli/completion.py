#!/usr/bin/env python3
"""The bash completion as bash runs it: the script is sourced, COMP_WORDS and
COMP_CWORD are set as the shell sets them (split at "=" and ":" as bash
splits them), and COMPREPLY is compared. The zsh completion runs in zsh with
the completion system's builtins stood in for, which print what they are given.

Usage: completion.py CLI SCRIPT [ZSH_SCRIPT]
"""
import os
import shutil
import subprocess
import sys
import tempfile

cli, script = sys.argv[1], sys.argv[2]
zsh_script = sys.argv[3] if len(sys.argv) > 3 else None
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
for path in ("Fav", "Shelf\\Jazz"):
    subprocess.run([cli, "collections", "create", "cat.txc", path], env=env, check=True)

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
# Files too where a command takes them, and collection paths.
expect(["edit", "cat.txc", "'CD1\\music\\"], ["CD1\\music\\rock\\", "CD1\\music\\a.mp3"])
expect(["collections", "a"], ["add", "add-memo"])
expect(["collections", "delete", "cat.txc", "'"], ["Fav\\", "Shelf\\"])
expect(["collections", "move", "cat.txc", "'Shelf\\"], ["Shelf\\Jazz\\"])
expect(["collections", "add", "cat.txc", "Fav", "'CD1\\music\\"],
       ["CD1\\music\\rock\\", "CD1\\music\\a.mp3"])
# Values of --sort, --fields, --duplicates and handler titles, and --option=value.
expect(["search", "cat.txc", "--sort", "s"], ["size"])
expect(["search", "cat.txc", "--sort", "size", ":", "d"], ["desc"])
expect(["search", "cat.txc", "--sort", "=", "na"], ["name"])
expect(["search", "cat.txc", "--sort", "=", "size", ":", ""], ["asc", "desc"])
expect(["search", "cat.txc", "--in", "=", "'CD1\\mo"], ["CD1\\movies\\"])
expect(["export", "cat.txc", "o.txt", "--fields", "Name,Si"], ["Name\\,Size"])
expect(["search", "cat.txc", "--duplicates", "c"], ["content"])
expect(["search", "cat.txc", "--duplicates", "--js"], ["--json"])
expect(["handlers", "--remove-extension", "MP"], ["MP3", "MPG", "MPP"])
expect(["--settings", "=", "no"], ["notes.txt"])
# Nothing to offer, and nothing said: a missing or damaged catalog.
expect(["ls", "missing.txc", "'CD1\\"], [])
expect(["ls", "notes.txt", "'CD1\\"], [])
expect(["ls", "cat.txc", "'CD1\\music\\", ""], [])

# The hidden command itself with wrong input: exit 0, no candidates.
for args in ([], ["x"], ["99", "a"], ["-1", "a", "b"], ["1"], ["3", "tamblix-cli", "ls"],
             ["2", "tamblix-cli"], ["0", "tamblix-cli"], ["4", "tamblix-cli", "search", "--in"]):
    r = subprocess.run([cli, "__complete", *args], capture_output=True, text=True, env=env,
                       timeout=60)
    if r.returncode != 0 or r.stdout.count("\n") != 1:
        failures.append(f"__complete {args}: {r.returncode} {r.stdout!r} {r.stderr!r}")

# zsh: what the function hands to compadd and _files.
ZSH_DRIVER = r'''
compadd() {
    local suffix=" "
    while [[ $1 == -* ]]; do
        case $1 in
        -S) suffix=$2; shift 2 ;;
        --) shift; break ;;
        *) shift ;;
        esac
    done
    for w in "$@"; do print -r -- "$w$suffix|"; done
}
compset() { [[ $1 == -P ]] && PREFIX=${PREFIX#*=} }
_files() { print -r -- "_files $*|$PREFIX" }
words=(tamblix-cli --version); CURRENT=2
source "$1" >/dev/null; shift
words=("$@"); CURRENT=$#; PREFIX=${words[CURRENT]}
typeset -A compstate
# Inside an opening quote the shell gives the word without it.
if [[ $PREFIX == \'* ]]; then compstate[quote]="'"; PREFIX=${PREFIX#\'}; fi
_tamblix-cli
'''


def zsh_expect(words, wanted):
    r = subprocess.run(["zsh", "-f", "-c", ZSH_DRIVER, "driver", zsh_script, "tamblix-cli", *words],
                       capture_output=True, text=True, env=env, timeout=60)
    got = sorted(line for line in r.stdout.split("\n") if line)
    if r.returncode or r.stderr or got != sorted(wanted):
        failures.append(f"zsh {words}: {got} (exit {r.returncode}, {r.stderr}), wanted {sorted(wanted)}")


if zsh_script:
    if not shutil.which("zsh"):
        failures.append("zsh is missing: the zsh completion was not run")
    else:
        zsh_expect(["se"], ["search |"])
        zsh_expect(["ls", "cat.txc", "'CD1\\mu"], ["CD1\\music\\|", "CD1\\mu sic\\|"])
        zsh_expect(["search", "cat.txc", "--sort=si"], ["--sort=size |"])
        zsh_expect(["--settings=no"], ["_files |no"])
        zsh_expect(["info", ""], ["_files -g *.(#i)txc(-.)|"])
        zsh_expect(["scan", "cat.txc", "r"], ["_files -/|r"])

shutil.rmtree(tmp)
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
