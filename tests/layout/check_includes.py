#!/usr/bin/env python3
"""Checks every #include under src/ against the table at the top of src/README.md.

Usage: check_includes.py SOURCE_ROOT
A folder may include its own headers and those of the folders its row names.
Folders listed before `platform` are the core and may not include Qt. In ui,
only the main window's own files include the main window: the commands, the
menus and the other windows reach it through small interfaces.
"""
import pathlib
import re
import sys

ROW = re.compile(r"^\|\s*`([a-z_]+)`\s*\|(.*)\|\s*$")
OURS = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"')
QT = re.compile(r"^\s*#\s*include\s+<Qt?[A-Za-z]*[/>]")


def read_rules(readme):
    rules = {}
    for line in readme.read_text(encoding="utf-8").splitlines():
        m = ROW.match(line)
        if m:
            rules[m.group(1)] = set(re.findall(r"`([a-z_]+)`", m.group(2)))
    return rules


def main():
    src = pathlib.Path(sys.argv[1]) / "src"
    rules = read_rules(src / "README.md")
    if not rules:
        print("src/README.md has no table of folders")
        return 1
    order = list(rules)
    core = set(order[: order.index("platform")]) if "platform" in order else set(order)
    faults = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        name = folder.name
        if name not in rules:
            faults.append(f"src/{name}/ is not in the table of src/README.md")
            continue
        for file in sorted(folder.rglob("*")):
            if file.suffix not in (".h", ".cpp"):
                continue
            rel = file.relative_to(src.parent)
            lines = file.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, 1):
                m = OURS.match(line)
                if m and m.group(1) != name and m.group(1) not in rules[name]:
                    faults.append(f"{rel}:{number}: {name} may not include {m.group(1)}/")
                if (name == "ui" and not file.stem.startswith("main_window")
                        and re.match(r'\s*#\s*include\s+"ui/main_window\.h"', line)):
                    faults.append(f"{rel}:{number}: only the main window includes ui/main_window.h")
                if name in core and QT.match(line):
                    faults.append(f"{rel}:{number}: the core may not include Qt")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the rules" if faults else "includes follow the rules")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
