#!/usr/bin/env bash
# Builds the Debian package from a build's install rules, checks its control
# fields, its file list and lintian's verdict, then extracts it into a
# temporary root and runs the extracted console tool against the extracted
# simulated panel.
#
#   deb_package_test.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
version=$2
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [[ -z "$sim_pid" ]] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "deb_package_test: FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$work/out/varnox-patch_${version}_amd64.deb
[[ -f "$deb" ]] || fail "no $deb: $(ls "$work/out")"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- control fields ---------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == varnox-patch ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Section) == electronics ]] || fail "Section: $(field Section)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[[ -n "$(field Description)" ]] || fail "no Description"
# dpkg-shlibdeps found the libraries; the Qt platform plugins are added by hand.
depends=$(field Depends)
# The package names alone, one a line.
sed 's/([^)]*)//g; s/,/\n/g' <<<"$depends" | tr -d ' ' >"$work/depends"
for package in libc6 libstdc++6 libqt6widgets6 libjpeg62-turbo qt6-qpa-plugins; do
  grep -qxF "$package" "$work/depends" || fail "Depends lacks $package: $depends"
done

# --- file list ----------------------------------------------------------------
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
{
  printf './usr/bin/%s\n' varnox-panel-sim varnox-patch varnox-patch-cli
  echo ./usr/share/applications/varnox-patch.desktop
  printf './usr/share/doc/varnox-patch/%s\n' README.md changelog.gz copyright
  for size in 16 22 24 32 48 64 128 256; do
    echo "./usr/share/icons/hicolor/${size}x${size}/apps/varnox-patch.png"
  done
  printf './usr/share/man/man1/%s.1.gz\n' varnox-panel-sim varnox-patch-cli varnox-patch
} | sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "unexpected file list"
# Everything belongs to root (a package built without fakeroot would not).
dpkg-deb -c "$deb" | awk '$2 != "root/root" { bad = 1; print } END { exit bad }' >&2 ||
  fail "files not owned by root"

# --- lintian ------------------------------------------------------------------
# Errors fail the test; warnings are shown (the README lists the known ones).
lintian --allow-root --fail-on error --tag-display-limit 0 "$deb" | tee "$work/lintian.txt" ||
  fail "lintian reports errors"

# --- the extracted programs ---------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
desktop-file-validate "$root/usr/share/applications/varnox-patch.desktop" || fail "the menu entry is not valid"
file "$root/usr/share/icons/hicolor/48x48/apps/varnox-patch.png" | grep -q "PNG image data, 48 x 48" ||
  fail "the 48x48 icon is not a 48x48 PNG"
for page in varnox-panel-sim varnox-patch-cli varnox-patch; do
  # man's own check: no groff warnings in the installed pages.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "$page.1: $warnings"
done

"$bin/varnox-patch-cli" --version >"$work/version.txt" || fail "varnox-patch-cli --version: status $?"
[[ $(head -1 "$work/version.txt") == "varnox-patch-cli $version" ]] ||
  fail "varnox-patch-cli --version: $(head -1 "$work/version.txt")"

# A panel of a newer release: the tool refuses it before writing anything.
mkfifo "$work/sim.fifo"
"$bin/varnox-panel-sim" --identity 00000B210000 >"$work/sim.fifo" 2>"$work/sim.err" &
sim_pid=$!
exec 3<"$work/sim.fifo"
read -r -t 10 pty <&3 || fail "varnox-panel-sim did not start: $(cat "$work/sim.err")"
status=0
# As every test run: stand-ins allowed, nothing added to the user's run record.
VARNOX_ALLOW_STAND_IN=1 timeout 60 "$bin/varnox-patch-cli" --no-record "$pty" >"$work/run.out" 2>"$work/run.err" </dev/null || status=$?
[[ $status == 1 ]] || fail "varnox-patch-cli on a newer panel: status $status, expected 1: $(cat "$work/run.err")"
printf '\nERRORE : La versione della centrale è successiva al presente aggiornamento\n\nERROR : Panel release earlier than this patch\n\n' |
  diff -u - "$work/run.out" >&2 || fail "varnox-patch-cli on a newer panel: unexpected log"
echo "deb_package_test: package checked, extracted tools ran"
