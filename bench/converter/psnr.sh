#!/usr/bin/env bash
# Prints the average PSNR (dB, all planes) of a converted file's picture area
# against the source scaled the same way.
#   psnr.sh OUTPUT SOURCE RATE PICTURE_W PICTURE_H FRAME_W FRAME_H
# The picture is the part of the frame that shows the source (WxH, centred);
# black borders around it are left out so they do not flatter the figure.
set -euo pipefail
out=$1 src=$2 rate=$3 pw=$4 ph=$5 fw=$6 fh=$7
x=$(( (fw - pw) / 4 * 2 ))
y=$(( (fh - ph) / 4 * 2 ))
ffmpeg -nostdin -v error -i "$out" -i "$src" -filter_complex \
  "[0:v]crop=${pw}:${ph}:${x}:${y},setpts=PTS-STARTPTS[a];[1:v]fps=${rate}:round=up,scale=${pw}:${ph},setpts=PTS-STARTPTS[b];[a][b]psnr=stats_file=-" \
  -f null - | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^psnr_avg:/) { split($i, kv, ":"); if (kv[2] != "inf") { s += kv[2]; n++ } } }
                   END { if (n == 0) exit 1; printf "%.2f\n", s / n }'
