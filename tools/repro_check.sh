#!/usr/bin/env bash
# Checks that a release is reproducible: clones one commit twice, into two
# folders of different names, runs tools/release.sh in each (the second with
# another umask, time zone and language) and compares dist/ file by file.
# Unsigned runs: the keys' variables are cleared. Slow: two whole release builds.
#
#   tools/repro_check.sh [COMMIT]      (default HEAD; WORK=folder, default a temporary one)
#
# Exit status 0 when both dist/ folders are the same bytes; else 1, with the
# differing files listed and, when diffoscope is installed (apt install
# diffoscope-minimal), its report in WORK/diffoscope.txt; the clones are kept.
#
# With ccache (CMAKE_CXX_COMPILER_LAUNCHER=ccache), CCACHE_BASEDIR=WORK lets the
# second clone reuse the first one's compiler output: much faster, and every
# other step still runs twice, but a compiler that is itself not deterministic
# would then go unseen.
set -euo pipefail
cd "$(dirname "$0")/.."

commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
work=${WORK:-$(mktemp -d)}
mkdir -p "$work"
unset SOURCE_DATE_EPOCH VARNOX_SIGN_CERT VARNOX_SIGN_KEY VARNOX_SIGN_PASS_FILE VARNOX_SIGN_TIMESTAMP_URL VARNOX_GPG_KEY

run() {  # FOLDER: clone and release, the log in FOLDER.log
  rm -rf "$1"
  git clone -q --no-local "$PWD" "$1"
  git -C "$1" checkout -q "$commit"
  echo "repro_check: release in $1"
  bash "$1/tools/release.sh" >"$1.log" 2>&1 || { tail -20 "$1.log" >&2; echo "repro_check: release failed in $1" >&2; exit 1; }
}
run "$work/first"
(umask 002 && export TZ=Pacific/Auckland LANG=C.UTF-8 && run "$work/second-clone-with-a-longer-name")

a=$work/first/dist
b=$work/second-clone-with-a-longer-name/dist
status=0
for file in $( (ls "$a"; ls "$b") | sort -u); do
  if ! cmp -s "$a/$file" "$b/$file"; then
    echo "repro_check: differs: $file" >&2
    status=1
  fi
done
if ((status)); then
  if command -v diffoscope >/dev/null; then
    diffoscope --text "$work/diffoscope.txt" "$a" "$b" >/dev/null || true
    echo "repro_check: diffoscope's report: $work/diffoscope.txt" >&2
  fi
  echo "repro_check: NOT reproducible ($commit); clones kept in $work" >&2
  exit 1
fi
cat "$a/SHA256SUMS"
echo "repro_check: reproducible: the same bytes from two clones of $commit"
