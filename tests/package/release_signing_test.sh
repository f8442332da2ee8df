#!/usr/bin/env bash
# The release's signing scripts with throwaway keys on a cross build's programs: gpg and
# osslsigncode verify, a changed byte fails; two stages and zips (two folders, times,
# umasks) are the same bytes; without keys nothing is signed.
#   release_signing_test.sh SOURCE_DIR WIN_BUILD_DIR
set -euo pipefail

src=$1
programs=("$2/bin/varnox-patch.exe" "$2/bin/varnox-patch-cli.exe")
[[ -f ${programs[0]} && -f ${programs[1]} ]] || { echo "no Windows programs in $2: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "release_signing_test: FAIL: $*" >&2; exit 1; }
export SOURCE_DATE_EPOCH=1700000000
unset VARNOX_SIGN_CERT VARNOX_SIGN_KEY VARNOX_SIGN_PASS_FILE VARNOX_SIGN_TIMESTAMP_URL VARNOX_GPG_KEY
printf 'read me\r\n' >"$work/README.txt"
stage() { bash "$src/packaging/windows/stage.sh" "$src" "$1" "${programs[@]}" "$work/README.txt"; }
flip() {  # FILE OFFSET: one bit of one byte
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf '%b' "\\x$(printf %02x $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null
}

stage "$work/plain"
cmp -s "${programs[0]}" "$work/plain/varnox-patch.exe" || fail "staged without a certificate, yet changed"
[[ $(bash "$src/tools/release_sign.sh" status) == "SHA256SUMS unsigned"*"; Windows programs unsigned"* ]] ||
  fail "status without keys: $(bash "$src/tools/release_sign.sh" status)"

export GNUPGHOME=$work/gnupg VARNOX_GPG_KEY=throwaway@invalid
mkdir -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "Throwaway <$VARNOX_GPG_KEY>" ed25519 sign 1d 2>/dev/null
# Younger than SOURCE_DATE_EPOCH: the programs must be signed at its start.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway code signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/sign.key" -out "$work/sign.pem" 2>/dev/null
export VARNOX_SIGN_CERT=$work/sign.pem VARNOX_SIGN_KEY=$work/sign.key
verify_exe() { osslsigncode verify -CAfile "$work/sign.pem" -in "$1" >"$work/verify.log" 2>&1; }

stage "$work/a"
sleep 1
mkdir "$work/copy" && cp "${programs[@]}" "$work/copy/"
programs=("$work/copy/varnox-patch.exe" "$work/copy/varnox-patch-cli.exe")
(umask 077 && stage "$work/b/deeper")
for name in varnox-patch.exe varnox-patch-cli.exe; do
  verify_exe "$work/a/$name" || { cat "$work/verify.log" >&2; fail "$name: signature does not verify"; }
  cmp -s "$work/a/$name" "$work/b/deeper/$name" || fail "$name: signed twice, different bytes"
done
bash "$src/packaging/windows/zip_folder.sh" "$work/a" varnox-patch "$work/a.zip"
bash "$src/packaging/windows/zip_folder.sh" "$work/b/deeper" varnox-patch "$work/b.zip"
cmp -s "$work/a.zip" "$work/b.zip" || fail "zip: different bytes from two stages"
cp "$work/a/varnox-patch-cli.exe" "$work/tampered.exe"
flip "$work/tampered.exe" $(($(stat -c %s "$work/tampered.exe") / 2))
! verify_exe "$work/tampered.exe" || fail "a changed byte in the code still verifies"

(cd "$work/a" && sha256sum -- *.exe >SHA256SUMS)
bash "$src/tools/release_sign.sh" sums "$work/a/SHA256SUMS"
gpg --verify "$work/a/SHA256SUMS.asc" "$work/a/SHA256SUMS" 2>/dev/null || fail "SHA256SUMS.asc does not verify"
flip "$work/a/SHA256SUMS" 0
! gpg --verify "$work/a/SHA256SUMS.asc" "$work/a/SHA256SUMS" 2>/dev/null || fail "a changed SHA256SUMS verifies"
[[ $(bash "$src/tools/release_sign.sh" status) == "SHA256SUMS signed by $VARNOX_GPG_KEY; Windows programs signed"* ]] ||
  fail "status with keys: $(bash "$src/tools/release_sign.sh" status)"
echo "release_signing_test: signed, verified, tampering caught, the same bytes twice"
