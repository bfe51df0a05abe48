#!/bin/sh
# Checks the include floors of src/: no folder includes src/app/ but src/app/
# itself, and the folders' include graph has no loop. Prints the graph's
# order from the bottom floor up; exits non-zero with the offending includes.
set -eu
cd "$(dirname "$0")/../src"

edges=$(grep -rHoE '^#include "[a-z_]+/' --include='*.h' --include='*.cc' . |
  sed -E 's#^\./([a-z_]+)/[^:]*:\#include "([a-z_]+)/#\1 \2#' |
  awk '$1 != $2' | sort -u)

status=0
loops=$(mktemp)
upward=$(grep -rnE '^#include "app/' --include='*.h' --include='*.cc' . | grep -v '^\./app/' || true)
if [ -n "$upward" ]; then
  echo "Includes of src/app/ from below it:"
  echo "$upward"
  status=1
fi

# tsort wants "dependency dependent" pairs and reports loops on stderr.
order=$(echo "$edges" | awk '{print $2, $1}' | tsort 2>"$loops" || true)
if [ -s "$loops" ]; then
  echo "Include loop between folders:"
  cat "$loops"
  echo "Folder edges (includer included):"
  echo "$edges"
  status=1
fi
rm -f "$loops"
[ $status -eq 0 ] && echo "Include floors, bottom up:" $order
exit $status
