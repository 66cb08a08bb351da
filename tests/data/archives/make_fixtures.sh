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

# The same tree in the kinds the archive library lists: 7z, TAR (plain and
# compressed), an ISO 9660 image with Joliet and Rock Ridge names, and CAB.
# Needs p7zip-full, libarchive-tools, xorriso, gcab, bzip2, xz-utils, zstd.
mkdir -p kinds/docs
printf 'hello\n' > kinds/a.txt
printf 'read me\n' > kinds/docs/readme.txt
printf 'x' > "kinds/docs/Grüße ñ.txt"
find kinds -exec touch -d '2005-03-07 14:20:10' {} +
(cd kinds && rm -f "$out/kinds.7z" && 7z a -bd -bso0 "$out/kinds.7z" a.txt docs)
(cd kinds && rm -f "$out/locked.7z" && 7z a -bd -bso0 -psecret -mhe=on "$out/locked.7z" a.txt)
(cd kinds && bsdtar --format=pax -cf "$out/kinds.tar" a.txt docs)
(cd kinds && bsdtar --format=ustar -czf "$out/kinds.tar.gz" ./a.txt ./docs)
(cd kinds && bsdtar -cjf "$out/kinds.tar.bz2" a.txt docs)
(cd kinds && bsdtar -cJf "$out/kinds.txz" a.txt docs)
(cd kinds && bsdtar --zstd -cf "$out/kinds.tar.zst" a.txt docs)
rm -f "$out/kinds.iso"
xorriso -as mkisofs -quiet -no-pad -R -J -V KINDS -o "$out/kinds.iso" kinds 2>/dev/null
(cd kinds && rm -f "$out/kinds.cab" && gcab -c "$out/kinds.cab" a.txt docs/readme.txt)

# Symbolic links, stored as links: to a file beside it, to one in a folder, to
# nowhere, and to a name that is not ASCII.
mkdir -p links/docs
printf 'hello world\n' > links/docs/target.txt
ln -s target.txt links/docs/link
ln -s docs/target.txt links/toplink
ln -s ../a/very/long/nowhere links/dangling
ln -s "Grüße.txt" links/umlaut
find links -exec touch -h -d '2005-03-07 14:20:10' {} +
(cd links && rm -f "$out/links.zip" && zip -X -q -y -r "$out/links.zip" docs toplink dangling umlaut)
(cd links && rm -f "$out/links.7z" && 7z a -bd -bso0 -snl "$out/links.7z" docs toplink dangling umlaut)
(cd links && bsdtar --format=pax -cf "$out/links.tar" docs toplink dangling umlaut)

# 7z with folders, an empty folder, an empty file, a read-only file, names
# beyond the BMP and symbolic links (-snl stores a link's target as its data):
# plain; with encrypted contents but a readable member list; and one folder
# per file with an unpacked header.
mkdir -p members/docs/sub members/empty
printf 'hello\n' > members/a.txt
printf 'read me\n' > members/docs/readme.txt
: > members/docs/zero.txt
printf 'x' > "members/docs/sub/Grüße 😀.txt"
printf 'fixed\n' > members/docs/fixed.txt
ln -s a.txt members/link
ln -s ../readme.txt members/docs/sub/up
find members -exec touch -h -d '2005-03-07 14:20:10' {} +
touch -h -d '1999-12-31 23:59:59' members/link
touch -d '2021-06-30 08:00:01' members/docs/readme.txt
chmod 444 members/docs/fixed.txt
(cd members && rm -f "$out/members.7z" && 7z a -bd -bso0 -snl "$out/members.7z" a.txt link docs empty)
(cd members && rm -f "$out/members_locked.7z" &&
    7z a -bd -bso0 -snl -psecret "$out/members_locked.7z" a.txt link docs empty)
(cd members && rm -f "$out/members_loose.7z" &&
    7z a -bd -bso0 -snl -ms=off -mhc=off "$out/members_loose.7z" a.txt link docs empty)

# CAB times are local time as stored: one near midnight in winter, one in
# summer, and one in the hour that summer time skips in New York.
mkdir -p cabtimes
printf 'late\n' > cabtimes/late.txt
printf 'summer\n' > cabtimes/summer.txt
printf 'gap\n' > cabtimes/gap.txt
touch -d '2005-01-02 23:59:58' cabtimes/late.txt
touch -d '2005-07-01 04:05:06' cabtimes/summer.txt
touch -d '2005-04-03 02:30:00' cabtimes/gap.txt
(cd cabtimes && rm -f "$out/times.cab" && gcab -c "$out/times.cab" late.txt summer.txt gap.txt)

# An empty UDF file system with no ISO 9660 side, as some burners write discs:
# the archive library cannot list it. Needs udftools.
rm -f "$out/udf_only.iso"
truncate -s 64K "$out/udf_only.iso"
mkudffs --media-type=hd --blocksize=512 --label=UDFONLY \
    --uuid=0123456789abcdef "$out/udf_only.iso" >/dev/null
