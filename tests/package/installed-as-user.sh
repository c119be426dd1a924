#!/usr/bin/env bash
# The installed program as a normal user starts it from the menu: its application
# folder cannot be written, so a video named on the Exec line is converted into the
# videos folder that xdg-user-dirs names, and the working copy goes to the cache.
# Runs on the display of tests/with-display.sh. As root it runs the program as
# `nobody`, since root may write anywhere.
#   installed-as-user.sh BUILD_DIR SAMPLE_MEDIA_DIR
set -euo pipefail
build=$1
media=$2
scratch=$(mktemp -d)
program_pid=
cleanup() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null || true
  chmod -R u+w "$scratch"
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

chmod 755 "$scratch"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
application=$prefix/lib/tovaro-pro
chmod a-w "$application"

home=$scratch/home
mkdir -p "$home/.config" "$home/bin"
videos="$home/我的 视频"
cat >"$home/.config/user-dirs.dirs" <<DIRS
XDG_VIDEOS_DIR="\$HOME/我的 视频"
DIRS
clip=$home/holiday.mp4
if [[ -f $media/mp4-h264-aac-android-320x240.mp4 ]]; then
  cp "$media/mp4-h264-aac-android-320x240.mp4" "$clip"
else
  ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=320x240:r=30:d=4 -f lavfi -i sine=f=440:d=4 \
    -c:v libx264 -c:a aac "$clip"
fi
# The desktop's opener notes what it is asked to open.
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened.txt"\n' "$home" >"$home/bin/xdg-open"
chmod 755 "$home/bin/xdg-open"

as_user=()
if [[ $(id -u) -eq 0 ]]; then
  command -v setpriv >/dev/null || skip "running as root without setpriv"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  "${as_user[@]}" true 2>/dev/null || skip "cannot switch to the user nobody here"
  chown -R nobody:nogroup "$home"
fi
if "${as_user[@]}" touch "$application/.probe" 2>/dev/null; then
  skip "the test user may write the application folder anyway"
fi

# Started as the desktop would: its Exec line, %F replaced by the file, on PATH.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/org.tovaropro.TovaroPRO.desktop")
read -r -a command <<<"${exec_line/\%F/$clip}"
"${as_user[@]}" env HOME="$home" XDG_CACHE_HOME="$home/cache" TMPDIR="$home" \
  PATH="$home/bin:$prefix/bin:$PATH" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
  "${command[@]}" &
program_pid=$!

origin=
for _ in $(seq 200); do
  info=$(xwininfo -name "Tovaro PRO" 2>/dev/null || true)
  if [[ $info == *IsViewable* ]]; then
    origin=$(awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}' <<<"$info")
    break
  fi
  sleep 0.05
done
[[ -n $origin ]] || fail "the window did not show"
# Task bars tie the window to its entry by its class.
entry_class=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/org.tovaropro.TovaroPRO.desktop")
[[ -n $entry_class ]] || fail "the desktop entry names no StartupWMClass"
window_class=$(xprop -id "$(awk '/Window id:/ {print $4}' <<<"$info")" WM_CLASS)
[[ $window_class == *"= \"$entry_class\", \"$entry_class\"" ]] || fail "$window_class is not $entry_class"
read -r x y <<<"$origin"
sleep 0.5
# Convert, without touching Add: only the file from the command line can be loaded.
xdotool mousemove $((x + 183)) $((y + 94)) click 1

results="$videos/Tovaro PRO"
for _ in $(seq 240); do
  [[ -s $home/opened.txt ]] && break
  sleep 0.5
done
[[ -s $home/opened.txt ]] || fail "no folder was opened: the conversion did not end"
[[ $(cat "$home/opened.txt") == "$results" ]] || fail "opened $(cat "$home/opened.txt"), not $results"
shopt -s nullglob
converted=("$results"/*.3gp)
((${#converted[@]} == 1)) || fail "expected one result in $results, found ${#converted[@]}"
[[ -s ${converted[0]} ]] || fail "the result is empty"
[[ -d $home/cache/tovaro-pro ]] || fail "no working folder in the cache"
[[ ! -e $application/output && ! -e $application/data ]] || fail "the application folder was written"
echo "converted into ${converted[0]}"
