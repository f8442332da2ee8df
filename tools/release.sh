#!/usr/bin/env bash
# Builds everything that is handed out into dist/: the Debian package, the
# Windows installer and the portable zip, and SHA256SUMS over them.
#
#   tools/release.sh
#
# The Windows programs come from build-win, the cross build that the Wine
# tests run; the Linux programs from a release build with Debian's
# hardening flags, without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh --windows
jobs=${VARNOX_JOBS:-$(nproc)}
dist=$PWD/dist

# --- Linux: the Debian package ---------------------------------------------
linux=build/release
VARNOX_JOBS=$jobs bash tools/release_build.sh "$linux"

rm -rf "$dist"
mkdir -p "$dist"
cpack --config "$linux/CPackConfig.cmake" -G DEB -B "$linux/cpack" >/dev/null
mv "$linux"/cpack/*.deb "$dist/"

# --- Windows: the installer and the zip ---------------------------------------
VARNOX_JOBS=$jobs bash tools/win_build.sh build-win >/dev/null
rm -rf build-win/dist
cmake --build build-win --target windows_installer windows_zip
cp build-win/dist/* "$dist/"

(cd "$dist" && sha256sum -- *.deb *.exe *.zip >SHA256SUMS)
ls -l "$dist"
