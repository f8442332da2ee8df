#!/usr/bin/env bash
# Builds the Linux programs as they are handed out: Release, without the
# tests, with Debian's hardening flags and its reproducible-build flags (the
# source folder mapped to "." in file names and debug data, -Wdate-time).
# tools/release.sh packs this build; tools/test.sh builds it so that a
# release build that no longer links is caught by the tests.
#
#   tools/release_build.sh [BUILD_DIR]      (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
jobs=${VARNOX_JOBS:-$(nproc)}

# dpkg-buildflags maps the current folder, the source root.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=+all"
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOX_WERROR=ON -DVARNOX_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j "$jobs"
