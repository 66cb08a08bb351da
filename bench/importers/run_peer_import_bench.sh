#!/usr/bin/env bash
# Imports a generated CDCat catalog (gzip) and a generated catcli catalog of N
# files each (1,000 folders; default 1,000,000 files) and prints time, peak
# memory and the resulting catalog's memory. Targets: under 5 s, and a peak
# under 2x the catalog's memory. Also a gocatcli TOML catalog of N/10 files
# (its parser takes the text whole, capped at 64 MB), for information.
# Usage: bench/importers/run_peer_import_bench.sh [BUILD_DIR] [FILES]
set -euo pipefail
BUILD=${1:-build/release-bench}
N=${2:-1000000}
cd "$(dirname "$0")/../.."
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_UI=OFF \
    -DTAMBLIX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target bench_peer_import >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" "$N" <<'PY'
import gzip, json, sys
work, n = sys.argv[1], int(sys.argv[2])
folders = 1000
per = max(1, n // folders)
units = [("byte", 1), ("Kb", 1024), ("Mb", 1024 ** 2), ("Gb", 1024 ** 3)]
with gzip.open(work + "/gen.hcf", "wt", encoding="utf-8", compresslevel=6) as x:
    x.write('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE HyperCDCatalogFile>\n'
            '<catalog name="bench" owner="o" time="2020-01-01 00:00:00" sortedBy="1">\n'
            '<datafile version="2.2"/>\n<media name="Bench" number="1" owner="o" type="HardDisc"'
            ' time="2020-01-01 00:00:00">\n')
    for d in range(folders):
        x.write(' <directory name="folder %04d" time="2019-%02d-%02d 10:%02d:00">\n'
                % (d, d % 12 + 1, d % 28 + 1, d % 60))
        for f in range(per):
            i = d * per + f
            unit, _ = units[i % 4]
            x.write('  <file name="track %07d.mp3" size="%d.%02d %s" time="2018-%02d-%02d %02d:%02d:%02d">\n'
                    '  </file>\n' % (i, i % 1000, i % 100, unit, i % 12 + 1, i % 28 + 1,
                                     i % 24, i % 60, (i * 7) % 60))
        x.write(' </directory>\n')
    x.write('</media>\n</catalog>\n')
# catcli's own layout: indent 2, keys sorted.
storage = {"name": "bench", "type": "storage", "attr": "", "free": 0, "total": 0, "ts": 1577836800,
           "size": 0, "children": []}
for d in range(folders):
    files = [{"name": "track %07d.mp3" % (d * per + f), "type": "file",
              "size": (d * per + f) * 37 % 10000000, "md5": "",
              "maccess": 1500000000 + (d * per + f) + 0.5} for f in range(per)]
    storage["children"].append({"name": "folder %04d" % d, "type": "dir", "size": 0,
                                "maccess": 1500000000.0, "children": files})
top = {"name": "top", "type": "top", "size": None,
       "children": [storage, {"name": "meta", "type": "meta", "size": None,
                              "attr": {"created": 1, "access": 1}}]}
with open(work + "/gen.catalog", "w") as j:
    json.dump(top, j, indent=2, sort_keys=True)
# gocatcli's TOML layout: plain keys, then arrays of tables.
per10 = max(1, per // 10)
with open(work + "/gen.toml", "w") as t:
    t.write('tool = "gocatcli"\nversion = "1.1.3"\n\n[[storages]]\nid = 1\nname = "bench"\n'
            'type = "storage"\nts = 1577836800\n')
    for d in range(folders):
        t.write('\n[[storages.children]]\nid = ""\nname = "folder %04d"\nfiletype = "dir"\n'
                'size = 0\nmaccess = 1500000000\nmode = "drwxr-xr-x"\n' % d)
        for f in range(per10):
            i = d * per10 + f
            t.write('\n[[storages.children.children]]\nid = ""\nname = "track %07d.mp3"\n'
                    'relpath = "folder %04d/track %07d.mp3"\nmd5 = ""\nfiletype = "file"\n'
                    'size = %d\nmaccess = %d\nts = 1577836800\nstorage_id = 1\n'
                    'mode = "-rw-r--r--"\nmime = "audio/mpeg"\nextra = ""\n'
                    % (i, d, i, i * 37 % 10000000, 1500000000 + i))
PY
ls -l "$work"
for f in "$work/gen.hcf" "$work/gen.catalog" "$work/gen.toml"; do
  "$BUILD/bench/importers/bench_peer_import" "$f"
done
