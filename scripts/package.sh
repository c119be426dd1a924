#!/usr/bin/env bash
# Installs what is missing, builds a Release and writes the Debian package
#   build/package/tovaro-pro_VERSION_ARCH.deb
# The last line printed is the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --package
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTOVARO_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
package=build/package/tovaro-pro_${version}_$(dpkg --print-architecture).deb
rm -f "$package"
# The package's file names are UTF-8 (说明.txt), and the archive library reads them
# through the locale: a UTF-8 one, whatever the caller's.
LC_ALL=C.UTF-8 cpack --config build/release/CPackConfig.cmake -B "$PWD/build/package"
[[ -f $package ]] || { echo "cpack wrote no $package" >&2; exit 1; }
echo "$PWD/$package"
