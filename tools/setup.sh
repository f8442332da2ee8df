#!/usr/bin/env bash
# Installs the Debian packages a job needs, by purpose:
#
#   tools/setup.sh              building and running the Linux programs
#   tools/setup.sh --test       ... and running the tests (GoogleTest, clang for
#                               the fuzz targets, Xvfb and Wine for the window
#                               and Windows tests, the package checks, Chromium
#                               and poppler for the printed run report)
#   tools/setup.sh --windows    ... and cross-building the Windows programs, the
#                               installer and the zip
#   tools/setup.sh --vm         ... and the virtual-machine tests (QEMU, a static
#                               busybox and cpio for the guest's initramfs)
#   tools/setup.sh --release    ... and signing a release (osslsigncode, gpg) and
#                               its test with throwaway keys (openssl)
#
# The options combine. Idempotent: runs apt-get only for packages that are missing.
set -euo pipefail

BUILD=(
  build-essential g++ cmake ninja-build pkg-config
  nlohmann-json3-dev libsystemd-dev
  qt6-base-dev libgl-dev libjpeg-dev
)
TEST=(
  libgtest-dev libgmock-dev googletest dbus-daemon libssl-dev
  clang-14 libclang-rt-14-dev clang-format-14
  xvfb xauth xdotool imagemagick
  wine64 wine fonts-wine
  lintian desktop-file-utils man-db file unzip
  chromium poppler-utils
)
# googletest: the Wine tests' helpers are part of the cross build.
WINDOWS=(
  g++-mingw-w64-x86-64-posix googletest nsis zip
)
# The guest's kernel is Debian's own package, fetched (not installed) by tools/vm_test.sh.
VM=(
  qemu-system-x86 busybox-static cpio
)
RELEASE=(
  osslsigncode gnupg openssl
)

PACKAGES=("${BUILD[@]}")
while (($#)); do
  case "$1" in
    --test) PACKAGES+=("${TEST[@]}") ;;
    --windows) PACKAGES+=("${WINDOWS[@]}") ;;
    --vm) PACKAGES+=("${VM[@]}") ;;
    --release) PACKAGES+=("${RELEASE[@]}") ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "setup: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  # One name may come from two sets.
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
