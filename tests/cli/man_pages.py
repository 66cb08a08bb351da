#!/usr/bin/env python3
"""The generated manual pages render without warnings and name every option
the programs' own help names.

Usage: man_pages.py CLI MANDIR
"""
import os
import re
import shutil
import subprocess
import sys

cli, mandir = sys.argv[1], sys.argv[2]
if not shutil.which("groff"):
    print("groff is missing; skipped")
    sys.exit(77)

env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
failures = []


def render(page):
    path = os.path.join(mandir, page)
    r = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", path],
                       capture_output=True, text=True)
    if r.returncode or r.stderr:
        failures.append(f"groff on {page}: {r.returncode} {r.stderr}")
    if shutil.which("man"):
        r = subprocess.run(["man", "--warnings", "-l", path], capture_output=True, text=True,
                           env=env)
        if r.returncode or r.stderr:
            failures.append(f"man -l {page}: {r.returncode} {r.stderr}")
    r = subprocess.run(["groff", "-man", "-Tascii", "-rLL=200n", path], capture_output=True,
                       text=True)
    # One long line a paragraph: phrases are not split by filling.
    return re.sub(r"[\b].", "", r.stdout)


cli_page = render("tamblix-cli.1")
desktop_page = render("tamblix.1")

commands = re.findall(r"^  (\S+)\s", subprocess.run([cli, "--help"], capture_output=True,
                                                    text=True).stdout.split("Commands:")[1]
                      .split("\n\n")[0], re.M)
if len(commands) < 12:
    failures.append(f"too few commands in --help: {commands}")
for command in commands:
    help_text = subprocess.run([cli, "help", command], capture_output=True, text=True).stdout
    if command + " " not in cli_page:
        failures.append(f"tamblix-cli.1 lacks the command {command}")
    for option in set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", help_text)):
        if option not in cli_page:
            failures.append(f"tamblix-cli.1 lacks {command} {option}")

for option in ("--settings", "--help", "--version"):
    if option not in desktop_page:
        failures.append(f"tamblix.1 lacks {option}")

# Both pages name the settings file and the catalog's lock.
for name, page in (("tamblix-cli.1", cli_page), ("tamblix.1", desktop_page)):
    files = page.split("\nFILES\n")[-1].split("\nSEE ALSO\n")[0] if "\nFILES\n" in page else ""
    for text in ("Tamblix/Tamblix.ini", "advisory lock"):
        if text not in files:
            failures.append(f"{name} has no FILES section naming {text}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
