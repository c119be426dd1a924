#!/usr/bin/env bash
# Conversion benchmarks on a release build:
#   bench/conversion/run.sh
# 1. a conversion of about 20 s through the main window: its CPU time against the
#    converter's (target < 0.02), and the converter's end to the result (< 50 ms + copy);
# 2. copying a 1 GB file against cp (target >= 0.9 of cp's throughput);
# 3. 20 short clips as one queue against one by one (target <= 1.05, and under 50 ms
#    between one converter's end and the next one's start).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTOVARO_BUILD_TESTS=OFF -DTOVARO_BUILD_BENCH=ON >/dev/null
cmake --build build/bench -j2 --target tovaro_conv convert_probe copy_probe queue_probe >/dev/null

scratch=$(mktemp -d "${BENCH_DIR:-/var/tmp}/tovaro-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"

# A 720p source the converter needs some 20 s for.
ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=${CLIP_SECONDS:-240}" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=${CLIP_SECONDS:-240}" \
  -c:v libx264 -preset ultrafast -c:a aac -shortest "$scratch/source.mp4"
QT_QPA_PLATFORM=offscreen build/bench/bench/conversion/convert_probe "$scratch/source.mp4" \
  build/bench/TovaroPRO/conv.dll

head -c 1G /dev/urandom > "$scratch/big.bin"
build/bench/bench/conversion/copy_probe "$scratch/big.bin" "${COPY_ROUNDS:-9}"

# Twenty clips of 2 s each.
clips=()
for i in $(seq -w 1 20); do
  ffmpeg -v error -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" \
    -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):duration=2" -c:v libx264 -preset ultrafast -c:a aac \
    -shortest "$scratch/clip-$i.mp4"
  clips+=("$scratch/clip-$i.mp4")
done
QT_QPA_PLATFORM=offscreen build/bench/bench/conversion/queue_probe build/bench/TovaroPRO/conv.dll \
  "${QUEUE_ROUNDS:-3}" "${clips[@]}"
