#!/usr/bin/env bash
# Installs the Debian packages Tamblix needs (only those missing) and builds it.
# Usage: scripts/setup.sh [release|test]
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libarchive-dev liblzma-dev libblkid-dev
                libgtest-dev libgmock-dev libbenchmark-dev adwaita-icon-theme
                libexpat1-dev zlib1g-dev nlohmann-json3-dev libtomlplusplus-dev libxxhash-dev
                libavformat-dev libavcodec-dev libavutil-dev libexiv2-dev libheif-dev
                libswscale-dev libturbojpeg0-dev libpng-dev libwebp-dev libtiff-dev libsqlite3-dev
                libjpeg-dev)
TEST_PACKAGES=(zip unzip libarchive-tools p7zip-full xorriso gcab bzip2 xz-utils zstd xvfb xauth
               python3 ffmpeg xxhash groff-base man-db
               libimage-exiftool-perl imagemagick mediainfo
               dpkg-dev file desktop-file-utils appstream shared-mime-info xdg-utils
               libfile-mimeinfo-perl strace zsh lintian e2fsprogs mount qt6-translations-l10n)

need=()
want=("${BUILD_PACKAGES[@]}")
if [ "${1:-release}" = test ]; then want+=("${TEST_PACKAGES[@]}"); fi
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

configure() { # dir, extra cmake args...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@"
  fi
  cmake --build "$dir"
}
