#!/usr/bin/env python3
"""Builds the Debian packages from a configured build folder and checks them as
Debian and a desktop would: tamblix-cli (the command-line tool and the reader
modules, with no window-system library among its dependencies) and tamblix (the
desktop program, which depends on it); their control fields, paths, maintainer
scripts and hardening; an install and a removal that leaves nothing to purge; the
packaged programs, the desktop entry, the software-centre entry, the file types
(by name and by the catalog's first bytes), the manual pages and the video
module; and lintian's verdict where lintian is installed.

Usage: check_package.py CPACK BUILD_DIR VERSION
Exits 77 (skipped) when a Debian packaging tool is missing."""
import gzip
import io
import os
import re
import shutil
import stat
import subprocess
import sys
import tarfile
import tempfile

CPACK, BUILD, VERSION = sys.argv[1:4]
TOOLS = ["dpkg", "dpkg-deb", "dpkg-query", "dpkg-shlibdeps", "file", "readelf",
         "desktop-file-validate", "appstreamcli", "update-mime-database",
         "update-desktop-database", "xdg-mime", "mimetype", "man"]
CATALOG_TYPE = "application/x-tamblix-catalog"
SEARCH_TYPE = "application/x-tamblix-search"
APP_ID = "io.github.tamblix.Tamblix"
DESKTOP = f"usr/share/applications/{APP_ID}.desktop"
METAINFO = f"usr/share/metainfo/{APP_ID}.metainfo.xml"
MIME_XML = "usr/share/mime/packages/tamblix.xml"
MAN_PAGES = ["usr/share/man/man1/tamblix.1.gz", "usr/share/man/man1/tamblix-cli.1.gz"]
MODULES = ["usr/lib/tamblix/tamblix_video.so", "usr/lib/tamblix/tamblix_photo.so"]
PROGRAMS = ["usr/bin/tamblix", "usr/bin/tamblix-cli"]
LANGUAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../share/languages")
MEDIA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data/media")
# What each package must hold.
CONTENTS = {
    "tamblix-cli": ["usr/bin/tamblix-cli", "usr/share/man/man1/tamblix-cli.1.gz",
                    "usr/share/bash-completion/completions/tamblix-cli",
                    "usr/share/zsh/vendor-completions/_tamblix-cli",
                    "usr/share/doc/tamblix-cli/copyright",
                    "usr/share/doc/tamblix-cli/changelog.gz"] + MODULES,
    "tamblix": ["usr/bin/tamblix", DESKTOP, METAINFO, MIME_XML,
                "usr/share/icons/hicolor/scalable/apps/tamblix.svg",
                "usr/share/doc/tamblix/manual.html", "usr/share/man/man1/tamblix.1.gz",
                "usr/share/doc/tamblix/copyright", "usr/share/doc/tamblix/changelog.gz"] +
               # Every language the source ships.
               ["usr/share/tamblix/languages/" + f for f in sorted(os.listdir(LANGUAGES))
                if f.endswith(".bab")],
}
# Every library the programs link, as Debian names its package. The desktop
# program's window-system plugins are loaded at run time, so they are named too.
DEPENDS = {
    "tamblix-cli": ["libc6", "libstdc++6", "libqt6core6", "libarchive13", "libexiv2-"],
    "tamblix": ["libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                "libarchive13", "qt6-qpa-plugins", "tamblix-cli (= VERSION)"],
}
# A server that only catalogs installs none of these (FFmpeg's libraries bring
# some of them, so tamblix-cli only recommends those).
NO_DISPLAY = ["libqt6gui6", "libqt6widgets6", "libx11-6", "libxcb1", "libwayland-client0",
              "libgl1", "libegl1", "libcairo2", "libgtk-3-0", "libavformat", "libavcodec"]

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
    return ok


def run(args, env=None, cwd=None, timeout=300):
    return subprocess.run(args, env=env, cwd=cwd, capture_output=True, text=True,
                          timeout=timeout)


def build_packages(out):
    """The two .deb files, by package name."""
    r = run([CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
             "-B", out], cwd=BUILD, timeout=600)
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    debs = sorted(f for f in os.listdir(out) if f.endswith(".deb"))
    want = sorted(f"{name}_{VERSION}_{arch}.deb" for name in CONTENTS)
    if r.returncode != 0 or debs != want:
        print(r.stdout, r.stderr)
        sys.exit(f"cpack made {debs}, not {want} (exit status {r.returncode})")
    return {name: os.path.join(out, f"{name}_{VERSION}_{arch}.deb") for name in CONTENTS}


def control_fields(deb):
    fields = {}
    for line in run(["dpkg-deb", "-f", deb]).stdout.splitlines():
        m = re.match(r"([A-Za-z-]+): (.*)", line)
        if m:
            fields[m.group(1)] = m.group(2)
    return fields


def relations(field):
    """'a (>= 1), b | c' -> ['a (>= 1)', 'b', 'c']"""
    return [d.strip() for d in re.split(r"[,|]", field or "") if d.strip()]


def check_control(name, deb):
    fields = control_fields(deb)
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(fields.get("Package") == name, f"package name {fields.get('Package')}, not {name}")
    check(fields.get("Source", name) == "tamblix", f"{name}: source {fields.get('Source')}")
    check(fields.get("Version") == VERSION, f"{name}: version {fields.get('Version')}")
    check(fields.get("Architecture") == arch, f"{name}: architecture {fields.get('Architecture')}")
    check(bool(fields.get("Maintainer")), f"{name}: no maintainer")
    depends = relations(fields.get("Depends"))
    names = {d.split(" ")[0] for d in depends}
    for want in DEPENDS[name]:
        want = want.replace("VERSION", VERSION)
        found = want in depends if " " in want else (
            any(n.startswith(want) for n in names) if want.endswith("-") else want in names)
        check(found, f"{name}: Depends lacks {want}: {fields.get('Depends')}")
    if name == "tamblix-cli":
        for lib in NO_DISPLAY:
            check(not any(n.startswith(lib) for n in names),
                  f"tamblix-cli depends on {lib}: {fields.get('Depends')}")
        # The video reader still finds its libraries on a default install.
        recommends = {d.split(" ")[0] for d in relations(fields.get("Recommends"))}
        for lib in ("libavformat", "libheif"):
            check(any(n.startswith(lib) for n in recommends),
                  f"tamblix-cli does not recommend {lib}: {fields.get('Recommends')}")
        check_no_display_closure(depends)
    if name == "tamblix":
        # Qt's dialogs in the chosen language, and a font for Chinese and Japanese.
        recommends = {d.split(" ")[0] for d in relations(fields.get("Recommends"))}
        for pkg in ("qt6-translations-l10n", "fonts-noto-cjk"):
            check(pkg in recommends, f"tamblix does not recommend {pkg}: {fields.get('Recommends')}")
    return fields


def check_no_display_closure(depends):
    """Nothing that tamblix-cli needs, however indirectly, is a window-system library."""
    if shutil.which("apt-cache") is None:
        return
    names = sorted({d.split(" ")[0].split(":")[0] for d in depends})
    r = run(["apt-cache", "depends", "--recurse", "--important", "--no-pre-depends"] + names)
    if not check(r.returncode == 0, f"apt-cache depends: {r.stderr}"):
        return
    closure = {line.strip() for line in r.stdout.splitlines() if not line.startswith(" ")}
    for lib in NO_DISPLAY:
        found = sorted(n for n in closure if n.startswith(lib))
        check(not found, f"tamblix-cli brings in {found} through its dependencies")


def deb_entries(deb):
    entries = {}
    for line in run(["dpkg-deb", "-c", deb]).stdout.splitlines():
        parts = line.split(None, 5)
        path = parts[5].split(" -> ")[0]
        entries[path.removeprefix("./").rstrip("/")] = (parts[0], parts[1])
    return entries


def check_contents(name, deb, elsewhere):
    entries = deb_entries(deb)
    for path in CONTENTS[name]:
        check(path in entries, f"{name} lacks /{path}")
    for path, (mode, owner) in entries.items():
        if path == "":
            continue
        check(path == "usr" or path.startswith("usr/"), f"/{path} is outside /usr")
        check(not path.startswith("usr/local"), f"/{path} is under /usr/local")
        check(owner == "root/root", f"/{path} belongs to {owner}")
        if mode[0] != "d":
            check(path not in elsewhere, f"/{path} is in both packages")
            elsewhere.add(path)
        check(not re.search(r"/man/.*\.\d$", path), f"/{path} is not compressed")
    for prog in PROGRAMS:
        if prog in entries:
            check(entries[prog][0] == "-rwxr-xr-x", f"/{prog} has mode {entries[prog][0]}")
    # No maintainer script: nothing to run on install, and nothing left for a purge.
    tar = subprocess.run(["dpkg-deb", "--ctrl-tarfile", deb], capture_output=True).stdout
    with tarfile.open(fileobj=io.BytesIO(tar)) as t:
        members = sorted(m.name.removeprefix("./") for m in t.getmembers() if m.isfile())
    check(members == ["control", "md5sums"], f"{name} control files: {members}")


def check_docs(root):
    for name in CONTENTS:
        doc = os.path.join(root, f"usr/share/doc/{name}")
        if os.path.exists(os.path.join(doc, "changelog.gz")):
            with gzip.open(os.path.join(doc, "changelog.gz"), "rt") as f:
                first = f.readline()
            check(first.startswith(f"tamblix ({VERSION}) "),
                  f"{name}: the changelog starts with {first!r}, not version {VERSION}")
        if os.path.exists(os.path.join(doc, "copyright")):
            with open(os.path.join(doc, "copyright"), encoding="utf-8") as f:
                text = f.read()
            check(text.startswith("Format: https://www.debian.org/doc/packaging-manuals/"
                                  "copyright-format/1.0/"),
                  f"{name}: its copyright file is not machine-readable")


def check_install_and_remove(debs, tmp):
    """dpkg installs both packages into an empty root, and removing them leaves no
    package in the config-files state and no file behind."""
    root = os.path.join(tmp, "dpkg-root")
    admin = os.path.join(root, "var/lib/dpkg")
    for sub in ("info", "updates", "triggers"):
        os.makedirs(os.path.join(admin, sub))
    for name in ("status", "available"):
        open(os.path.join(admin, name), "w").close()
    dpkg = ["dpkg", f"--root={root}", "--log=/dev/null", "--force-not-root", "--force-depends"]
    r = run(dpkg + ["-i"] + list(debs.values()))
    if not check(r.returncode == 0, f"dpkg -i: {r.stdout}{r.stderr}"):
        return
    check(os.path.exists(os.path.join(root, "usr/bin/tamblix-cli")), "dpkg -i installed nothing")
    r = run(dpkg + ["-r", "tamblix", "tamblix-cli"])
    check(r.returncode == 0, f"dpkg -r: {r.stdout}{r.stderr}")
    r = run(["dpkg-query", f"--root={root}", "-W", "-f", "${Package} ${db:Status-Abbrev}\n"])
    left = [line for line in r.stdout.splitlines() if line.split()[1:] != ["un"]]
    check(not left, f"after removal dpkg still lists: {left}")
    files = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(root, "usr")) for f in fs]
    check(not files, f"after removal these stay: {files}")


def check_hardening(root):
    """Built with Debian's hardening flags: position-independent programs, read-only
    relocations bound at start, the stack protector and fortified C library calls."""
    for path in PROGRAMS + MODULES:
        full = os.path.join(root, path)
        header = run(["readelf", "-h", full]).stdout
        dynamic = run(["readelf", "-d", full]).stdout
        segments = run(["readelf", "-lW", full]).stdout
        symbols = run(["readelf", "--dyn-syms", "-W", full]).stdout
        check("DYN (" in header, f"/{path} is not position-independent")
        check("GNU_RELRO" in segments, f"/{path} has no read-only relocations")
        check(re.search(r"\(FLAGS\)\s.*BIND_NOW|\(FLAGS_1\)\s.*NOW", dynamic) is not None,
              f"/{path} is not bound at start (no BIND_NOW)")
        check("__stack_chk_fail" in symbols, f"/{path} has no stack protector")
        if path in PROGRAMS:
            check(re.search(r" __\w+_chk\b", symbols.replace("__stack_chk_fail", "")),
                  f"/{path} calls no fortified function")


def check_lintian(debs):
    """No error and no warning from lintian, when it is installed."""
    if shutil.which("lintian") is None:
        print("lintian is not installed: its check was skipped")
        return
    r = run(["lintian", "--tag-display-limit", "0"] + list(debs.values()), timeout=600)
    print("lintian:", r.stdout.strip() or "(nothing to report)")
    bad = [line for line in r.stdout.splitlines() if re.match(r"[EW]: ", line)]
    check(not bad, "lintian reports:\n" + "\n".join(bad))
    # 2 means it found errors (told above); 1, that lintian itself failed.
    check(r.returncode != 1, f"lintian failed: {r.stderr}")


def check_programs(root):
    cli = os.path.join(root, "usr/bin/tamblix-cli")
    r = run([cli, "--help"])
    check(r.returncode == 0 and "scan" in r.stdout, f"packaged tamblix-cli --help: {r.stderr}")
    # The video and photo readers are found beside the programs, and only loaded when
    # such a file is read.
    plain = {k: v for k, v in os.environ.items() if k != "TAMBLIX_MODULE_DIR"}
    with tempfile.TemporaryDirectory() as home:
        r = run([cli, "--settings", os.path.join(home, "s.ini"), "tags",
                 os.path.join(MEDIA, "clip.mkv"), os.path.join(MEDIA, "photo.jpg")], env=plain)
    check(r.returncode == 0 and "  VideoCodec=h264" in r.stdout and "  ISO=400" in r.stdout
          and not r.stderr, f"packaged tamblix-cli does not read media: {r.stdout} {r.stderr}")
    needed = run(["readelf", "-d", cli]).stdout
    for lib in ("libavformat", "libavcodec", "libexiv2", "libQt6Gui"):
        check(lib not in needed, f"packaged tamblix-cli links {lib}")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.pop("QT_QPA_PLATFORM", None)
    r = run([os.path.join(root, "usr/bin/tamblix"), "--version"], env=env)
    check(r.returncode == 0 and VERSION in r.stdout,
          f"packaged tamblix --version without a display: {r.returncode} {r.stdout} {r.stderr}")
    # Without a display the window cannot open: it says so and names the other tool.
    r = run([os.path.join(root, "usr/bin/tamblix"), "music.txc"], env=env)
    check(r.returncode == 1 and "no display was found" in r.stderr and "tamblix-cli" in r.stderr,
          f"packaged tamblix without a display: {r.returncode} {r.stderr}")


def desktop_keys(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            k, sep, v = line.rstrip("\n").partition("=")
            if sep:
                keys[k] = v
    return keys


def check_entries(root):
    desktop = os.path.join(root, DESKTOP)
    r = run(["desktop-file-validate", desktop])
    check(r.returncode == 0 and not r.stdout.strip(), f"desktop-file-validate: {r.stdout}")
    keys = desktop_keys(desktop)
    check(CATALOG_TYPE in keys.get("MimeType", "").split(";"),
          f"the desktop entry is not for catalogs: {keys.get('MimeType')}")
    check(re.fullmatch(r"tamblix %[fF]", keys.get("Exec", "")) is not None,
          f"the desktop entry does not pass the file: {keys.get('Exec')}")
    check(os.path.exists(os.path.join(root, "usr/share/icons/hicolor/scalable/apps",
                                      keys.get("Icon", "") + ".svg")),
          f"no icon named {keys.get('Icon')}")
    r = run(["appstreamcli", "validate", "--no-net", os.path.join(root, METAINFO)])
    check(r.returncode == 0, f"appstreamcli validate: {r.stdout}{r.stderr}")
    with open(os.path.join(root, METAINFO), encoding="utf-8") as f:
        meta = f.read()
    # The software centre finds the desktop entry by the component's id.
    check(f"<id>{APP_ID}</id>" in meta, f"the metainfo's id is not {APP_ID}")
    check(f"<launchable type=\"desktop-id\">{APP_ID}.desktop</launchable>" in meta,
          "the metainfo does not launch the desktop entry")
    check(re.search(r"<screenshot[^>]*>.*?<image>https://", meta, re.S) is not None,
          "the metainfo has no screenshot")


def desktop_env(data_home, home):
    """The generic (no desktop environment) look-up, with only our data added."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                        "GNOME_DESKTOP_SESSION_ID", "XDG_CONFIG_HOME", "DE")}
    env.update(XDG_DATA_HOME=data_home, XDG_DATA_DIRS="/usr/local/share:/usr/share", HOME=home)
    return env


def file_type(path, env):
    r = run(["xdg-mime", "query", "filetype", path], env=env)
    return r.stdout.strip()


def check_file_types(root, tmp):
    data = os.path.join(tmp, "data")
    os.makedirs(os.path.join(data, "mime/packages"))
    os.makedirs(os.path.join(data, "applications"))
    shutil.copy(os.path.join(root, MIME_XML), os.path.join(data, "mime/packages"))
    shutil.copy(os.path.join(root, DESKTOP), os.path.join(data, "applications"))
    r = run(["update-mime-database", os.path.join(data, "mime")])
    check(r.returncode == 0, f"update-mime-database: {r.stderr}")
    run(["update-desktop-database", os.path.join(data, "applications")])

    catalog = os.path.join(tmp, "discs.txc")
    r = run([os.path.join(root, "usr/bin/tamblix-cli"), "new", catalog],
            env=dict(os.environ, TAMBLIX_SETTINGS=os.path.join(tmp, "settings.ini")))
    if not check(r.returncode == 0, f"tamblix-cli new: {r.stderr}"):
        return
    renamed = os.path.join(tmp, "discs backup")  # no extension: only the first bytes tell
    shutil.copy(catalog, renamed)
    as_bin = os.path.join(tmp, "discs.bin")  # an extension the system knows otherwise
    shutil.copy(catalog, as_bin)
    search = os.path.join(tmp, "mp3 files.txs")
    with open(search, "w", encoding="ascii", newline="") as f:
        f.write("[Search]\r\nFile=*.mp3\r\n")
    not_catalog = os.path.join(tmp, "notes")
    with open(not_catalog, "wb") as f:
        f.write(b"\x0b\x00\x00\x00Tamblin 2.3")

    env = desktop_env(data, tmp)
    for path, want in ((catalog, CATALOG_TYPE), (renamed, CATALOG_TYPE),
                       (as_bin, CATALOG_TYPE), (search, SEARCH_TYPE)):
        got = file_type(path, env)
        check(got == want, f"{os.path.basename(path)} is {got!r}, not {want}")
    check(file_type(not_catalog, env) != CATALOG_TYPE, "other bytes are taken for a catalog")
    # Without our types the same bytes are not a catalog, so the answers above came from them.
    bare = desktop_env(os.path.join(tmp, "empty"), tmp)
    check(file_type(renamed, bare) != CATALOG_TYPE, "the system alone names our type")

    r = run(["xdg-mime", "query", "default", CATALOG_TYPE], env=env)
    check(r.stdout.strip() == f"{APP_ID}.desktop",
          f"catalogs open with {r.stdout.strip()!r}, not {APP_ID}.desktop")


def check_manual_pages(root):
    for page in MAN_PAGES:
        path = os.path.join(root, page)
        env = dict(os.environ, MANWIDTH="80", MAN_DISABLE_SECCOMP="1", LC_ALL="C.UTF-8")
        r = run(["man", "--warnings", "-l", path], env=env)
        name = os.path.basename(page).removesuffix(".1.gz")
        check(r.returncode == 0 and name in r.stdout and "SYNOPSIS" in r.stdout
              and "\nFILES\n" in r.stdout, f"man -l {page}: exit status {r.returncode}")
        check(not r.stderr.strip(), f"man -l {page} warns: {r.stderr}")


def main():
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + " ".join(missing))
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        # man drops to its own user when run as root, so the pages must be readable.
        os.chmod(tmp, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
        debs = build_packages(os.path.join(tmp, "out"))
        in_a_package = set()
        root = os.path.join(tmp, "root")
        for name, deb in debs.items():
            check_control(name, deb)
            check_contents(name, deb, in_a_package)
            r = run(["dpkg-deb", "-x", deb, root])
            if r.returncode != 0:
                sys.exit(f"dpkg-deb -x: {r.stderr}")
        check_docs(root)
        check_hardening(root)
        check_install_and_remove(debs, tmp)
        check_programs(root)
        check_entries(root)
        check_file_types(root, tmp)
        check_manual_pages(root)
        check_lintian(debs)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
