#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64: varnox-patch.exe (the
# window) and varnox-patch-cli.exe (the console tool), plus the helper
# programs of the Wine tests, into build-win/bin. Both programs are static:
# on Windows nothing but the two .exe files is needed.
#
#   tools/win_build.sh [BUILD_DIR [TARGET...]]   (default build-win, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-win}
shift $(($# ? 1 : 0))
jobs=${VARNOX_JOBS:-2}

bash tools/setup.sh --windows
# -O2 as on Linux (g++ 12 gives false -Wrestrict warnings in std::string at -O3);
# -s: no symbols in the programs handed out. The same bytes from every folder
# and at every time: the source folder mapped to "." in file names, no link
# time stamp in the programs' headers.
release="-O2 -DNDEBUG -ffile-prefix-map=$PWD=."
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOX_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_C_FLAGS_RELEASE="$release" -DCMAKE_CXX_FLAGS_RELEASE="$release" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s -Wl,--no-insert-timestamp" >/dev/null
cmake --build "$build" -j "$jobs" ${1:+--target "$@"}
ls -l "$build"/bin/*.exe
