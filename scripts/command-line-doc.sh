#!/usr/bin/env bash
# Writes the command-line reference from the program's own help, so that the
# document says what the program says:
#   scripts/command-line-doc.sh build/release/src/cli/tamblix-cli > docs/command-line.md
set -euo pipefail
cli=$1
fence='```'
echo "# The command line"
echo
echo "Made by \`scripts/command-line-doc.sh\` from \`tamblix-cli help\`; run it again after"
echo "changing a command's options. \`man tamblix-cli\` shows the same text."
echo
echo "$fence"
"$cli" --help
echo "$fence"
for c in $("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }'); do
  echo
  echo "## $c"
  echo
  echo "$fence"
  "$cli" help "$c"
  echo "$fence"
done
