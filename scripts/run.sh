#!/usr/bin/env bash
# Installs what is missing, builds a Release build and starts the desktop program.
# Without a display it says how to use the command-line tool instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh release
configure build/release -DCMAKE_BUILD_TYPE=Release -DTAMBLIX_BUILD_TESTS=OFF -DTAMBLIX_BUILD_BENCH=OFF

# --help and --version need no window; a chosen Qt platform (offscreen, vnc) needs no display.
wants_window=1
for arg in "$@"; do
  case $arg in -h | --help | --version) wants_window=0 ;; esac
done
if [ $wants_window = 1 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] &&
  [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cli=build/release/src/cli/tamblix-cli
  cat <<MSG
No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop
program cannot open its window. The command-line tool does the same catalog work:

  $cli --help                        # the commands
  $cli scan --help                   # one command's options, with an example
  $cli scan discs.txc /media/cdrom   # catalog a disc as a new volume
  $cli ls discs.txc                  # the volumes of that catalog

To open the window anyway, run it with a display, such as a virtual one:
xvfb-run scripts/run.sh
MSG
  exit 0
fi
exec build/release/src/app/tamblix "$@"
