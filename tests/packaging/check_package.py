#!/usr/bin/env python3
"""Builds the Debian package from a configured build folder and checks it as a
desktop would use it: its control fields and paths, the packaged programs, the
desktop entry, the software-centre entry, the file types (by name and by the
catalog's first bytes), the manual pages and the video module.

Usage: check_package.py CPACK BUILD_DIR VERSION
Exits 77 (skipped) when a Debian packaging tool is missing."""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

CPACK, BUILD, VERSION = sys.argv[1:4]
TOOLS = ["dpkg-deb", "dpkg-shlibdeps", "file", "readelf", "desktop-file-validate",
         "appstreamcli", "update-mime-database", "update-desktop-database", "xdg-mime", "mimetype",
         "man"]
CATALOG_TYPE = "application/x-tamblix-catalog"
SEARCH_TYPE = "application/x-tamblix-search"
DESKTOP = "usr/share/applications/tamblix.desktop"
METAINFO = "usr/share/metainfo/io.github.tamblix.Tamblix.metainfo.xml"
MIME_XML = "usr/share/mime/packages/tamblix.xml"
MAN_PAGES = ["usr/share/man/man1/tamblix.1", "usr/share/man/man1/tamblix-cli.1"]
MODULES = ["usr/lib/tamblix/tamblix_video.so", "usr/lib/tamblix/tamblix_photo.so"]
MEDIA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data/media")
REQUIRED_PATHS = [
    "usr/bin/tamblix", "usr/bin/tamblix-cli", DESKTOP, METAINFO, MIME_XML,
    "usr/share/icons/hicolor/scalable/apps/tamblix.svg",
    "usr/share/tamblix/languages/Deutsch.bab",
    "usr/share/doc/tamblix/manual.html",
] + MAN_PAGES + MODULES
# Every library the programs link, as Debian names its package.
REQUIRED_DEPENDS = ["libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                    "libarchive13", "qt6-qpa-plugins"]
# Only the modules need libavformat and Exiv2, whose package names carry their versions.
REQUIRED_DEPENDS_PREFIX = ["libavformat", "libexiv2"]

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
    return ok


def run(args, env=None, cwd=None, timeout=300):
    return subprocess.run(args, env=env, cwd=cwd, capture_output=True, text=True,
                          timeout=timeout)


def build_package(out):
    r = run([CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
             "-B", out], cwd=BUILD, timeout=600)
    debs = [f for f in os.listdir(out) if f.endswith(".deb")]
    if r.returncode != 0 or len(debs) != 1:
        print(r.stdout, r.stderr)
        sys.exit(f"cpack made {debs} (exit status {r.returncode})")
    return os.path.join(out, debs[0])


def check_control(deb):
    fields = {}
    for line in run(["dpkg-deb", "-f", deb]).stdout.splitlines():
        m = re.match(r"([A-Za-z-]+): (.*)", line)
        if m:
            fields[m.group(1)] = m.group(2)
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(fields.get("Package") == "tamblix", f"package name {fields.get('Package')}")
    check(fields.get("Version") == VERSION, f"version {fields.get('Version')}, not {VERSION}")
    check(fields.get("Architecture") == arch, f"architecture {fields.get('Architecture')}")
    check(bool(fields.get("Maintainer")), "no maintainer")
    depends = {d.strip().split(" ")[0] for d in fields.get("Depends", "").split(",")}
    for name in REQUIRED_DEPENDS:
        check(name in depends, f"Depends lacks {name}: {fields.get('Depends')}")
    for prefix in REQUIRED_DEPENDS_PREFIX:
        check(any(d.startswith(prefix) for d in depends),
              f"Depends lacks {prefix}: {fields.get('Depends')}")
    check(os.path.basename(deb) == f"tamblix_{VERSION}_{arch}.deb",
          f"file name {os.path.basename(deb)}")


def check_contents(deb):
    listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
    entries = {}
    for line in listing:
        parts = line.split(None, 5)
        path = parts[5].split(" -> ")[0]
        entries[path.removeprefix("./").rstrip("/")] = (parts[0], parts[1])
    for path in REQUIRED_PATHS:
        found = [p for p in entries if p == path or p == path + ".gz"]
        check(found, f"the package lacks /{path}")
    for path, (mode, owner) in entries.items():
        if path == "":
            continue
        check(path == "usr" or path.startswith("usr/"), f"/{path} is outside /usr")
        check(not path.startswith("usr/local"), f"/{path} is under /usr/local")
        check(owner == "root/root", f"/{path} belongs to {owner}")
    for prog in ("usr/bin/tamblix", "usr/bin/tamblix-cli"):
        if prog in entries:
            check(entries[prog][0] == "-rwxr-xr-x", f"/{prog} has mode {entries[prog][0]}")


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
    r = run([os.path.join(root, "usr/bin/tamblix"), "--version"], env=env)
    check(r.returncode == 0 and VERSION in r.stdout,
          f"packaged tamblix --version without a display: {r.returncode} {r.stdout} {r.stderr}")


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
    check("<launchable type=\"desktop-id\">tamblix.desktop</launchable>" in meta,
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
    check(r.stdout.strip() == "tamblix.desktop",
          f"catalogs open with {r.stdout.strip()!r}, not tamblix.desktop")


def check_manual_pages(root):
    for page in MAN_PAGES:
        path = os.path.join(root, page)
        if not os.path.exists(path):
            path += ".gz"
        env = dict(os.environ, MANWIDTH="80", MAN_DISABLE_SECCOMP="1", LC_ALL="C.UTF-8")
        r = run(["man", "--warnings", "-l", path], env=env)
        name = os.path.basename(page).removesuffix(".1")
        check(r.returncode == 0 and name in r.stdout and "SYNOPSIS" in r.stdout,
              f"man -l {page}: exit status {r.returncode}")
        check(not r.stderr.strip(), f"man -l {page} warns: {r.stderr}")


def main():
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if missing:
        print("skipped: missing " + " ".join(missing))
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        # man drops to its own user when run as root, so the pages must be readable.
        os.chmod(tmp, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
        deb = build_package(os.path.join(tmp, "out"))
        check_control(deb)
        check_contents(deb)
        root = os.path.join(tmp, "root")
        r = run(["dpkg-deb", "-x", deb, root])
        if r.returncode != 0:
            sys.exit(f"dpkg-deb -x: {r.stderr}")
        check_programs(root)
        check_entries(root)
        check_file_types(root, tmp)
        check_manual_pages(root)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
