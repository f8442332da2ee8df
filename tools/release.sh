#!/usr/bin/env bash
# Builds everything that is handed out into dist/: the Debian package, the
# Windows installer and the portable zip, SHA256SUMS over them and, with a key,
# its signature SHA256SUMS.asc.
#
#   tools/release.sh
#
# The Windows programs come from build-win, the cross build that the Wine
# tests run; the Linux programs from a release build with Debian's
# hardening flags, without the tests (tools/release_build.sh).
#
# Reproducible: every time in the artefacts is SOURCE_DATE_EPOCH, the commit's
# time unless the environment sets it, and build folders are mapped out of the
# programs, so two runs for one commit give the same bytes in any folder
# (tools/repro_check.sh checks it).
#
# Signed when the environment names the keys (see tools/release_sign.sh):
# VARNOX_SIGN_CERT and VARNOX_SIGN_KEY sign both Windows programs (before they
# go into the installer and the zip) and the installer; VARNOX_GPG_KEY (with
# GNUPGHOME) signs SHA256SUMS. The last line says what was signed.
set -euo pipefail
cd "$(dirname "$0")/.."
# The package's members take their modes from the files CPack writes.
umask 022

bash tools/setup.sh --windows --release
# A half-named key fails here, before the builds.
bash tools/release_sign.sh status >/dev/null
jobs=${VARNOX_JOBS:-$(nproc)}
dist=$PWD/dist

if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "release: not a git checkout: set SOURCE_DATE_EPOCH to the source's time" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH
if [[ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]]; then
  echo "release: WARNING: uncommitted changes; the programs say \"+changes\"" >&2
fi

# --- Linux: the Debian package ---------------------------------------------
linux=build/release
VARNOX_JOBS=$jobs bash tools/release_build.sh "$linux"

rm -rf "$dist" "$linux/cpack"
mkdir -p "$dist"
# CPack takes the package's times from SOURCE_DATE_EPOCH, its owners are root.
cpack --config "$linux/CPackConfig.cmake" -G DEB -B "$linux/cpack" >/dev/null
mv "$linux"/cpack/*.deb "$dist/"

# --- Windows: the installer and the zip ---------------------------------------
# The two programs only, not the Wine tests' helpers.
VARNOX_JOBS=$jobs bash tools/win_build.sh build-win varnox-patch varnox-patch-cli >/dev/null
# Staged and signed again in every run: the keys may have changed.
rm -rf build-win/dist build-win/packaging/stage
cmake --build build-win --target windows_installer windows_zip
cp build-win/dist/* "$dist/"

(cd "$dist" && export LC_ALL=C && sha256sum -- *.deb *.exe *.zip >SHA256SUMS)
bash tools/release_sign.sh sums "$dist/SHA256SUMS"
ls -l "$dist"
bash tools/release_sign.sh status
