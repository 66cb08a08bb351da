#!/usr/bin/env bash
# Installs what is missing, builds a Release build and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh release
configure build/release -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=OFF
exec build/release/src/app/tamblix "$@"
