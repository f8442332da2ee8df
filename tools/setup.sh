#!/usr/bin/env bash
# Installs every Debian package that building and testing varnox-patch needs.
# Idempotent: runs apt-get only for packages that are missing.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  nlohmann-json3-dev libsystemd-dev dbus-daemon libssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev libgl-dev libjpeg-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth
  g++-mingw-w64-x86-64-posix wine64 wine fonts-wine xdotool imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
