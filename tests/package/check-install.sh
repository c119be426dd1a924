#!/usr/bin/env bash
# The install rules and the package: an install into a temporary prefix holds every
# file the desktop needs and works from wherever the prefix is moved; the desktop
# entry and the AppStream file pass their validators; the package is named by the
# project's version, depends on what its binaries link, and lintian finds no error.
#   check-install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

id=org.tovaropro.TovaroPRO
expected=(bin/tovaro-pro lib/tovaro-pro/tovaro lib/tovaro-pro/conv.dll lib/tovaro-pro/说明.txt
          share/applications/$id.desktop share/metainfo/$id.metainfo.xml)
for size in 16 24 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/$id.png
  expected+=("$icon")
  [[ $(identify -format '%wx%h' "$prefix/$icon" 2>/dev/null) == "${size}x${size}" ]] ||
    fail "$icon is not a ${size}x${size} picture"
done
for file in "${expected[@]}"; do
  [[ -e $prefix/$file ]] || fail "the install lacks $file"
done

# Relocatable: the command is a relative link, and nothing names the prefix.
[[ $(readlink "$prefix/bin/tovaro-pro") != /* ]] || fail "bin/tovaro-pro is an absolute link"
if grep -rlF "$prefix" "$prefix"; then fail "the files above name the install prefix"; fi
mv "$prefix" "$scratch/moved"
[[ -x $(readlink -f "$scratch/moved/bin/tovaro-pro") ]] || fail "bin/tovaro-pro breaks when the prefix moves"
prefix=$scratch/moved

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=tovaro-pro %F' "$desktop" || fail "the Exec line"
types=$(sed -n 's/^MimeType=//p' "$desktop")
for type in video/mp4 video/x-msvideo video/x-flv video/x-ms-wmv video/x-ms-asf video/quicktime video/mpeg \
            video/3gpp video/x-matroska video/webm application/vnd.rn-realmedia; do
  [[ ";$types" == *";$type;"* ]] || fail "MimeType lacks $type"
done
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" || fail "no release $version"

# The package's file names are UTF-8 (说明.txt), and the archive library reads them
# through the locale: a UTF-8 one, whatever the tests run in.
LC_ALL=C.UTF-8 cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
deb=$scratch/package/tovaro-pro_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $(basename "$deb") among: $(ls "$scratch/package")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found by dpkg-shlibdeps in the program and in the converter.
for library in libqt6widgets6 libavcodec libopencore-amrnb0; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library"
done
contents=$(dpkg-deb -c "$deb")
[[ $contents == *" ./usr/lib/tovaro-pro/conv.dll"* ]] || fail "the package does not install under /usr"

echo "lintian:"
lintian --fail-on error --info "$deb" || fail "lintian reports an error"
