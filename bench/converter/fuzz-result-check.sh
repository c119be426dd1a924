#!/usr/bin/env bash
# Fuzzes the supervisor's check of the worker's result (output/result_check.*)
# for MINUTES minutes (clang, libFuzzer, ASan + UBSan), one job: whatever bytes
# a subverted worker leaves, the check answers. Seeds: 3GP files the built
# converter makes (CONV, default the test build's), and an H.263-only 3GP of
# Debian's ffmpeg. Findings are kept in BUILD_DIR/result-check-artifacts/.
#   bench/converter/fuzz-result-check.sh MINUTES [BUILD_DIR]
set -euo pipefail
minutes=${1:?usage: fuzz-result-check.sh MINUTES [BUILD_DIR]}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$root/build-fuzz}
conv=${CONV:-$root/build/test/TovaroPRO/conv.dll}

CXX=clang++ cmake -S "$root" -B "$build" -DTOVARO_BUILD_GUI=OFF -DTOVARO_BUILD_TESTS=OFF \
  -DTOVARO_FUZZ=ON -DTOVARO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target conv_result_check_fuzzer -j1
fuzzer=$build/converter/fuzz/conv_result_check_fuzzer

corpus=$build/result-check-corpus
artifacts=$build/result-check-artifacts
mkdir -p "$corpus" "$artifacts"
source=$corpus/source.avi
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:d=1 -f lavfi -i sine=d=1 "$source"
ffmpeg -nostdin -v error -y -i "$source" -an -c:v h263 -s 128x96 "$corpus/ffmpeg-h263.3gp"
if [[ -x $conv ]]; then
  "$conv" -y -i "$source" "$corpus/both.3gp" 2>/dev/null
  ffmpeg -nostdin -v error -y -i "$source" -an "$corpus/video.avi"
  ffmpeg -nostdin -v error -y -i "$source" -vn "$corpus/sound.wav"
  "$conv" -y -i "$corpus/video.avi" "$corpus/video.3gp" 2>/dev/null
  "$conv" -y -i "$corpus/sound.wav" "$corpus/sound.3gp" 2>/dev/null
  rm -f "$corpus/video.avi" "$corpus/sound.wav"
fi
rm -f "$source"

cd "$build"
"$fuzzer" "$corpus" -artifact_prefix="$artifacts/" -max_total_time=$((minutes * 60)) -max_len=65536 \
  -timeout=2 -rss_limit_mb=512 -print_final_stats=1 >"$build/result-check-fuzz.log" 2>&1 || true
tail -n 12 "$build/result-check-fuzz.log"
echo "findings: $(find "$artifacts" -type f | wc -l) in $artifacts"
