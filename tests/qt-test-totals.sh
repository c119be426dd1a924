#!/usr/bin/env bash
# Runs one Qt Test program (with any wrapper before it, e.g. with-display.sh) and
# passes only when it ended with status 0 and every totals line it printed says
# "0 failed". A program that ends midway, through an exit of its own or a crash,
# prints no totals line and fails here, whatever its status.
#   tests/qt-test-totals.sh COMMAND [ARGS...]
set -uo pipefail

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

totals=$(grep -aE '^Totals: [0-9]+ passed, [0-9]+ failed' "$log")
if [[ -z "$totals" ]]; then
  echo "qt-test-totals: no totals line: the test program ended before its end" >&2
  exit 1
fi
if grep -qvE '^Totals: [0-9]+ passed, 0 failed' <<<"$totals"; then
  echo "qt-test-totals: failures counted" >&2
  exit 1
fi
if ((status != 0)); then
  echo "qt-test-totals: exit status $status" >&2
  exit 1
fi
