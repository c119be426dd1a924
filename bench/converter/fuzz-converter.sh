#!/usr/bin/env bash
# Fuzzes the whole conversion (reading, decoding, fitting, encoding, muxing into
# memory) for MINUTES minutes (clang, libFuzzer, ASan + UBSan, the converter's
# own code instrumented for coverage). Any input that crashes it, hangs it for
# more than TIMEOUT seconds (default 5), holds more than 80 MB (the converter's
# memory target; see below) or grows the process past RSS_MB megabytes is
# copied into
# tests/converter/fuzz-regressions/, where the test suite replays it. The run
# goes on after each finding. JOBS parallel workers (default 1: the build
# machine is shared); run it under nice.
#   bench/converter/fuzz-converter.sh MINUTES [BUILD_DIR]
set -euo pipefail
minutes=${1:?usage: fuzz-converter.sh MINUTES [BUILD_DIR]}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$root/build-fuzz}
media=${TOVARO_SHARED_MEDIA:-$root/../shared/media}
regressions=$root/tests/converter/fuzz-regressions

CXX=clang++ cmake -S "$root" -B "$build" -DTOVARO_BUILD_GUI=OFF -DTOVARO_BUILD_TESTS=OFF \
  -DTOVARO_FUZZ=ON -DTOVARO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
cmake --build "$build" --target conv_conversion_fuzzer -j2
fuzzer=$build/converter/fuzz/conv_conversion_fuzzer

# Seeds: the small real-world samples, the kept regressions, and a few tiny
# files of common containers made here.
mkdir -p "$regressions"
corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"
find "$media" -maxdepth 1 -type f -size -300k ! -name '*.md' -exec cp -n {} "$corpus/" \; 2>/dev/null || true
cp -n "$regressions"/* "$corpus/" 2>/dev/null || true
cp -n "$media"/../fuzz-findings/* "$corpus/" 2>/dev/null || true
for ext in avi flv mp4 mpg wmv; do
  [[ -s $corpus/seed.$ext ]] || ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:d=0.3 \
    -f lavfi -i sine=d=0.6 -ar 22050 "$corpus/seed.$ext"
done

jobs=${JOBS:-1}
# Memory is held to the converter's 80 MB target in three ways:
# - each input may hold at most 80 MB on the heap above what was live when it
#   started (fuzz/heap_limit.*: counted through the sanitizer's allocator, so
#   neither the sanitizer's own memory nor its store of freed blocks counts);
#   over it, the input is kept as a crash with the allocation's stack;
# - no single block over 80 MB (-malloc_limit_mb, and the converter's own limit);
# - RSS_MB (default 256) for the whole process, a backstop for memory outside
#   the heap (thread stacks, mappings). It cannot come near 80 MB: the
#   sanitizer's process is 57 MB on an empty input, and a worker that has run
#   many inputs keeps what FFmpeg builds once for each codec it meets and the
#   allocator's high-water marks: over the 440 inputs of a corpus it grew to
#   175 MB (201 MB over 400 of them without handing freed memory back at
#   once), while no input held more than 29 MB of heap. At 200 MB, 7 inputs in 36 minutes of two
#   workers were kept as too large; each alone takes 1-29 MB of heap (40-69 MB
#   in the Release converter). A smaller store of freed memory or shorter
#   allocation stacks (malloc_context_size=4) save under 2 MB; the store is
#   bounded all the same, so that the backstop measures the converter rather
#   than the sanitizer.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:thread_local_quarantine_size_kb=256:allocator_release_to_os_interval_ms=0:detect_leaks=0}
cd "$build"
"$fuzzer" "$corpus" -artifact_prefix="$artifacts/" -max_total_time=$((minutes * 60)) \
  -max_len=262144 -timeout="${TIMEOUT:-5}" -rss_limit_mb="${RSS_MB:-256}" -malloc_limit_mb=80 -fork="$jobs" \
  -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 -print_final_stats=1 >"$build/fuzz.log" 2>&1 || true
tail -n 5 "$build/fuzz.log"
# Edges of the converter's code seen over the run, from the last status line.
grep -ho 'cov: [0-9]*' "$build/fuzz.log" 2>/dev/null | sort -t' ' -k2 -n | tail -n 1

found=0
for crash in "$artifacts"/crash-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
  [[ -e $crash ]] || continue
  cp -n "$crash" "$regressions/"
  found=$((found + 1))
done
echo "fuzzing done: $found new problem input(s) kept in $regressions"
