#!/usr/bin/env bash
# Runs a command on a private X display: Xvfb with a fixed 1280x1024 screen at 96 dpi
# and the openbox window manager, both ended afterwards.
#   tests/with-display.sh COMMAND [ARGS...]
set -euo pipefail

display_fd_file=$(mktemp)
exec {fd}>"$display_fd_file"
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp +extension SHAPE >/dev/null 2>&1 &
xvfb_pid=$!
exec {fd}>&-

cleanup() {
  [[ -n "${wm_pid:-}" ]] && kill "$wm_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -f "$display_fd_file"
}
trap cleanup EXIT

for _ in $(seq 100); do
  [[ -s "$display_fd_file" ]] && break
  sleep 0.05
done
number=$(tr -dc '0-9' <"$display_fd_file")
[[ -n "$number" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done

"$@"
