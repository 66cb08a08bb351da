#!/bin/sh
# Makes the ZIP fixtures of the archive reader tests. Needs Debian's zip.
# Run from anywhere: sh make_fixtures.sh
set -eu
out=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C.UTF-8

stamp() { touch -d '2005-03-07 14:20:10' "$@"; }

cd "$work"
mkdir -p tree/docs/sub
printf 'hello\n' > tree/a.txt
printf 'read me\n' > tree/docs/readme.txt
# 1000 bytes that deflate well: the member's size must be the unpacked one
head -c 1000 /dev/zero | tr '\0' 'x' > tree/docs/sub/big.txt
stamp tree/a.txt tree/docs/readme.txt tree/docs/sub/big.txt tree/docs/sub tree/docs tree

# plain archive with folder members
(cd tree && rm -f "$out/basic.zip" && zip -X -q -r "$out/basic.zip" a.txt docs)

# streamed: every member carries a data descriptor
(cd tree && zip -X -q -r - a.txt docs | cat > "$out/stream.zip")

# ZIP64 records forced on a small archive (and streamed, so 64-bit descriptors too)
(cd tree && rm -f "$out/zip64.zip" && zip -X -q -fz -r "$out/zip64.zip" a.txt docs)
(cd tree && zip -X -q -fz -r - a.txt docs | cat > "$out/zip64_stream.zip")

# UTF-8 names and a path longer than 256 bytes
mkdir -p names
printf 'x' > "names/Grüße ñ.txt"
long="names/$(printf 'd%.0s' $(seq 1 130))/$(printf 'e%.0s' $(seq 1 130))/file.txt"
mkdir -p "$(dirname "$long")"
printf 'y' > "$long"
find names -exec touch -d '2005-03-07 14:20:10' {} +
rm -f "$out/names.zip"
zip -X -q -r "$out/names.zip" names
