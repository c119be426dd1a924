#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test headless (the window tests start
# their own virtual display). Extra arguments go to ctest, e.g. -R startup.
set -euo pipefail
cd "$(dirname "$0")/.."
# The locale of a fresh machine, a container and CI, whatever this machine's session
# has: a check that only passes in another locale must fail here too. An LC_ALL set
# by the caller picks another (LC_ALL=C bash scripts/test.sh).
locale=${LC_ALL:-C.UTF-8}
export LANG=$locale LC_ALL=$locale

bash scripts/install-deps.sh --test
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVARO_SANITIZE=ON -DTOVARO_WERROR=ON >/dev/null
cmake --build build/test -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/test --output-on-failure --timeout 900 "$@"
