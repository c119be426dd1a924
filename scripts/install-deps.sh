#!/usr/bin/env bash
# Installs the Debian packages this project needs, and only those that are missing,
# so a second run costs a dpkg query and nothing more.
#   scripts/install-deps.sh          what building and running the program needs
#   scripts/install-deps.sh --test   also what the tests and benchmarks need
#   scripts/install-deps.sh --package   also what building the Debian package needs
set -euo pipefail

build_packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libswresample-dev libavutil-dev
  libopencore-amrnb-dev libseccomp-dev
  fonts-noto-cjk fonts-dejavu-core
  qt6-translations-l10n
  xdg-utils
  libxcb-shape0-dev
)
test_packages=(
  xvfb xauth openbox xdotool x11-utils imagemagick ffmpeg
  clang libclang-rt-14-dev clang-format hyperfine time python3-numpy
  lintian desktop-file-utils appstream
  dbus-daemon dbus-bin
  at-spi2-core python3-pyatspi
  weston qt6-wayland
)
# The converter benchmark fetches its reference ffmpeg with npm (bench/converter).
command -v npm >/dev/null 2>&1 || test_packages+=(npm)
# The package's dependencies are worked out from its binaries (dpkg-shlibdeps, file).
package_packages=(dpkg-dev file)

wanted=("${build_packages[@]}")
case "${1:-}" in
  --test) wanted+=("${test_packages[@]}" "${package_packages[@]}") ;;
  --package) wanted+=("${package_packages[@]}") ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q -o DPkg::Lock::Timeout=600
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
