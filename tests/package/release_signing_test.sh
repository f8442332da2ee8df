#!/usr/bin/env bash
# The release's signing steps with throwaway keys, on the Windows programs of
# a cross build: a throwaway OpenPGP key signs SHA256SUMS and a throwaway
# self-signed code-signing certificate signs the programs, through the same
# scripts as tools/release.sh; gpg and osslsigncode verify them, and a changed
# byte must fail. Also: staging and zipping twice, in two folders at two
# times, give the same bytes; without keys nothing is signed.
#
#   release_signing_test.sh SOURCE_DIR WIN_BUILD_DIR
set -euo pipefail

source_dir=$1
win_bin=$2/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "release_signing_test: FAIL: $*" >&2; exit 1; }
programs=("$win_bin/varnox-patch.exe" "$win_bin/varnox-patch-cli.exe")
for program in "${programs[@]}"; do
  [[ -f $program ]] || { echo "release_signing_test: no $program (tools/win_build.sh): skipped"; exit 77; }
done
export SOURCE_DATE_EPOCH=1700000000
unset VARNOX_SIGN_CERT VARNOX_SIGN_KEY VARNOX_SIGN_PASS_FILE VARNOX_SIGN_TIMESTAMP_URL VARNOX_GPG_KEY
printf 'read me\r\n' >"$work/README.txt"
stage() { bash "$source_dir/packaging/windows/stage.sh" "$source_dir" "$1" "${programs[@]}" "$work/README.txt"; }
zip_stage() { bash "$source_dir/packaging/windows/zip_folder.sh" "$1" varnox-patch "$2"; }

# --- without keys: nothing signed, the last line says so ---------------------
stage "$work/plain"
cmp -s "${programs[0]}" "$work/plain/varnox-patch.exe" || fail "staged without a certificate, yet changed"
[[ $(bash "$source_dir/tools/release_sign.sh" status) == *"SHA256SUMS unsigned"*"Windows programs unsigned"* ]] ||
  fail "status without keys: $(bash "$source_dir/tools/release_sign.sh" status)"

# --- throwaway keys ------------------------------------------------------------
export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key 'Varnox throwaway <throwaway@invalid>' ed25519 sign 1d 2>/dev/null
export VARNOX_GPG_KEY=throwaway@invalid
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Varnox throwaway code signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/sign.key" -out "$work/sign.pem" 2>/dev/null
export VARNOX_SIGN_CERT=$work/sign.pem VARNOX_SIGN_KEY=$work/sign.key
# The certificate is younger than SOURCE_DATE_EPOCH: signed at its start.
verify_exe() { osslsigncode verify -CAfile "$work/sign.pem" -in "$1" >"$work/verify.log" 2>&1; }

# --- the programs: signed, the same in two folders at two times ------------------
stage "$work/a"
sleep 1
mkdir "$work/copy" && cp "${programs[@]}" "$work/copy/"
programs=("$work/copy/varnox-patch.exe" "$work/copy/varnox-patch-cli.exe")
(umask 077 && stage "$work/b/deeper")
for name in varnox-patch.exe varnox-patch-cli.exe; do
  verify_exe "$work/a/$name" || { cat "$work/verify.log" >&2; fail "$name: signature does not verify"; }
  cmp -s "$work/a/$name" "$work/b/deeper/$name" || fail "$name: signed twice, different bytes"
done
zip_stage "$work/a" "$work/a.zip"
zip_stage "$work/b/deeper" "$work/b.zip"
cmp -s "$work/a.zip" "$work/b.zip" || fail "zip: different bytes from two stages"
[[ $(TZ=UTC unzip -Z -T "$work/a.zip" varnox-patch/README.txt | awk '{print $7}') == 20231114.221320 ]] ||
  fail "zip: README.txt's time is not SOURCE_DATE_EPOCH: $(unzip -Z -T "$work/a.zip")"
# A changed byte in the code (the middle of the file) breaks the signature.
flip() {  # FILE OFFSET: one bit of one byte
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null
}
cp "$work/a/varnox-patch-cli.exe" "$work/tampered.exe"
flip "$work/tampered.exe" $(($(stat -c %s "$work/tampered.exe") / 2))
cmp -s "$work/a/varnox-patch-cli.exe" "$work/tampered.exe" && fail "tampering changed nothing"
! verify_exe "$work/tampered.exe" || fail "a changed byte still verifies"

# --- SHA256SUMS and its signature ---------------------------------------------------
(cd "$work/a" && sha256sum -- *.exe >SHA256SUMS)
bash "$source_dir/tools/release_sign.sh" sums "$work/a/SHA256SUMS"
gpg --verify "$work/a/SHA256SUMS.asc" "$work/a/SHA256SUMS" 2>/dev/null || fail "SHA256SUMS.asc does not verify"
(cd "$work/a" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c"
flip "$work/a/SHA256SUMS" 0
! gpg --verify "$work/a/SHA256SUMS.asc" "$work/a/SHA256SUMS" 2>/dev/null || fail "a changed SHA256SUMS still verifies"
[[ $(bash "$source_dir/tools/release_sign.sh" status) == "SHA256SUMS signed by throwaway@invalid; Windows programs signed with $work/sign.pem" ]] ||
  fail "status with keys: $(bash "$source_dir/tools/release_sign.sh" status)"
echo "release_signing_test: signed, verified, tampering caught, same bytes twice"
