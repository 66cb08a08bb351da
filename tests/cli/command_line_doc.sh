#!/usr/bin/env bash
# The committed command-line reference is what the program's help says now.
# Usage: command_line_doc.sh CLI SOURCE_DIR
set -euo pipefail
cli=$1 src=$2
if ! diff -u "$src/docs/command-line.md" <("$src/scripts/command-line-doc.sh" "$cli"); then
  echo "docs/command-line.md is out of date: scripts/command-line-doc.sh CLI > docs/command-line.md"
  exit 1
fi
