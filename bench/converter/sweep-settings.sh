#!/usr/bin/env bash
# Converts one short source with all 600 combinations of the window's settings
# lists (5 sizes x 4 frame rates x 5 video rates x 6 audio rates) and checks
# every output with ffprobe: 3GP brand, H.263 of the requested size and exact
# frame rate, AMR-NB mono 8000 Hz, streams in step, and a clean decode.
#   bench/converter/sweep-settings.sh [CONV_DLL] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
conv=${1:-$here/../../build-rel/TovaroPRO/conv.dll}
work=${2:-${TMPDIR:-/tmp}/conv-sweep}
mkdir -p "$work"
cd "$work"
[[ -s source.mp4 ]] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=30000/1001:d=3 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:d=3 -c:v libx264 -preset veryfast -c:a aac source.mp4

declare -A exact=([14.985]=2997/200 [23.975]=959/40 [25.0]=25/1 [29.97]=2997/100)
failures=0 count=0
started=$(date +%s.%N)
for size in 128x96 160x120 176x144 320x240 352x288; do
  for rate in 14.985 23.975 25.0 29.97; do
    for vk in 40 80 120 256 512; do
      for ak in 32 48 64 80 96 128; do
        count=$((count + 1))
        out=out.3gp
        if ! "$conv" -i source.mp4 -vcodec h263 -b "$vk" -y -r "$rate" -s "$size" -acodec amr_nb -ac 1 -f 3gp \
             -ar 8000 -ab "$ak" "" "$out" 2>err.txt; then
          echo "FAIL $size $rate $vk $ak: $(grep -v '^progress' err.txt)"; failures=$((failures + 1)); continue
        fi
        got=$(ffprobe -v error -show_entries format_tags=major_brand:stream=codec_name,width,height,r_frame_rate,sample_rate,channels,duration \
              -of default=nw=1 "$out" | tr '\n' ' ')
        want_v="codec_name=h263 width=${size%x*} height=${size#*x} r_frame_rate=${exact[$rate]}"
        want_a="codec_name=amr_nb sample_rate=8000 channels=1"
        errors=$(ffmpeg -nostdin -v error -i "$out" -f null - 2>&1 | head -c 300)
        durations=($(ffprobe -v error -show_entries stream=duration -of csv=p=0 "$out"))
        in_step=$(python3 -c "print(abs(${durations[0]} - ${durations[1]}) < 1 / float('$rate'))")
        if [[ $got != *"$want_v"* || $got != *"$want_a"* || $got != *"major_brand=3gp"* || -n $errors || $in_step != True ]]; then
          echo "FAIL $size $rate $vk $ak: $got $errors in_step=$in_step"; failures=$((failures + 1))
        fi
      done
    done
  done
done
elapsed=$(python3 -c "import time; print('%.0f' % (time.time() - $started))")
echo "$count combinations, $failures failed, ${elapsed} s"
[[ $failures -eq 0 ]]
