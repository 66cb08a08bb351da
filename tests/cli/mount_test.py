"""What the tests with real mounts share: they run as root with e2fsprogs,
in a temporary folder with an empty mount point, and exit 77 (skipped) where
they cannot mount."""
import os
import shutil
import subprocess
import sys
import tempfile


def skip(why):
    print(f"skipped: {why}")
    sys.exit(77)


def run(args, check=True, env=None):
    r = subprocess.run(args, capture_output=True, text=True, env=env)
    if check and r.returncode != 0:
        raise SystemExit(f"{args}: exit {r.returncode}: {r.stderr}")
    return r


def image(path, label, files, uuid=None):
    """An ext2 image of 2 MiB holding `files` (path: text), with a folder "sub"."""
    src = path + ".d"
    os.makedirs(os.path.join(src, "sub"))
    for name, text in files.items():
        os.makedirs(os.path.dirname(os.path.join(src, name)), exist_ok=True)
        with open(os.path.join(src, name), "w") as f:
            f.write(text)
    with open(path, "wb") as f:
        f.truncate(2 << 20)
    args = ["mkfs.ext2", "-q", "-F", "-L", label, "-d", src]
    run(args + (["-U", uuid] if uuid else []) + [path])


def main(test):
    """Runs test(tmp, mnt) and cleans up, mounted or not; prints "ok" after."""
    if os.geteuid() != 0:
        skip("needs root to mount")
    if shutil.which("mkfs.ext2") is None:
        raise SystemExit("mkfs.ext2 (e2fsprogs) is needed")
    tmp = tempfile.mkdtemp()
    mnt = os.path.join(tmp, "mnt")
    os.mkdir(mnt)
    try:
        if run(["mount", "-t", "tmpfs", "none", mnt], check=False).returncode != 0:
            skip("the kernel refuses to mount here")
        run(["umount", mnt])
        test(tmp, mnt)
    finally:
        subprocess.run(["umount", "-l", mnt], capture_output=True)
        shutil.rmtree(tmp, ignore_errors=True)
    print("ok")
