#!/usr/bin/env bash
# The signing steps of a release, with the keys the environment names:
#
#   tools/release_sign.sh windows FILE.exe...   Authenticode signature, in place
#   tools/release_sign.sh sums SHA256SUMS       OpenPGP signature SHA256SUMS.asc
#   tools/release_sign.sh status                one line: what the environment signs with
#
# Windows programs and the installer (osslsigncode):
#   VARNOX_SIGN_CERT           PEM file: the code-signing certificate, then its
#                              intermediate certificates
#   VARNOX_SIGN_KEY            PEM file: its private key
#   VARNOX_SIGN_PASS_FILE      optional: a file holding the key's passphrase
#   VARNOX_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server. Without
#                              one the signature carries SOURCE_DATE_EPOCH (or the
#                              certificate's start, if later) as its signing time
#                              and is the same in every run; with
#                              one it differs in every run (the server's token).
# Checksums (gpg --armor --detach-sign):
#   VARNOX_GPG_KEY             the key's fingerprint or user id, in the keyring
#                              of GNUPGHOME (default ~/.gnupg)
#
# A step whose variables are not set does nothing; `status` says which are.
set -euo pipefail

windows_keys() { [[ -n "${VARNOX_SIGN_CERT:-}" && -n "${VARNOX_SIGN_KEY:-}" ]]; }
# One of the two alone is a mistake, not a wish for unsigned programs.
if [[ -z "${VARNOX_SIGN_CERT:-}" && -n "${VARNOX_SIGN_KEY:-}" || -n "${VARNOX_SIGN_CERT:-}" && -z "${VARNOX_SIGN_KEY:-}" ]]; then
  echo "release_sign: VARNOX_SIGN_CERT and VARNOX_SIGN_KEY go together: set both or neither" >&2
  exit 2
fi
gpg_key() { [[ -n "${VARNOX_GPG_KEY:-}" ]]; }

# SOURCE_DATE_EPOCH, or the certificate's start when that is later: a time at
# which the certificate was not yet valid makes the signature fail to verify.
signing_time() {
  local time=${SOURCE_DATE_EPOCH:-$(date +%s)} start
  start=$(date -d "$(openssl x509 -noout -startdate -in "$VARNOX_SIGN_CERT" | cut -d= -f2)" +%s) ||
    { echo "release_sign: cannot read $VARNOX_SIGN_CERT" >&2; exit 1; }
  echo $((time > start ? time : start))
}

sign_windows() {
  windows_keys || return 0
  local file signed args=()
  [[ -z "${VARNOX_SIGN_PASS_FILE:-}" ]] || args+=(-readpass "$VARNOX_SIGN_PASS_FILE")
  if [[ -n "${VARNOX_SIGN_TIMESTAMP_URL:-}" ]]; then
    args+=(-ts "$VARNOX_SIGN_TIMESTAMP_URL")
  else
    args+=(-time "$(signing_time)")
  fi
  for file in "$@"; do
    signed="$file.signing"
    rm -f "$signed"
    osslsigncode sign -certs "$VARNOX_SIGN_CERT" -key "$VARNOX_SIGN_KEY" "${args[@]}" \
      -h sha256 -n "Varnox Patch" -in "$file" -out "$signed" >/dev/null ||
      { rm -f "$signed"; echo "release_sign: osslsigncode could not sign $file" >&2; exit 1; }
    # The signed copy keeps the unsigned file's time (the archives' fixed times).
    touch -r "$file" "$signed"
    mv -f "$signed" "$file"
  done
}

sign_sums() {
  gpg_key || return 0
  local sums=$1
  rm -f "$sums.asc"
  gpg --batch --yes --armor --local-user "$VARNOX_GPG_KEY" --output "$sums.asc" --detach-sign "$sums" ||
    { echo "release_sign: gpg could not sign $sums with $VARNOX_GPG_KEY" >&2; exit 1; }
}

status() {
  local windows="Windows programs unsigned (VARNOX_SIGN_CERT and VARNOX_SIGN_KEY not set)"
  local sums="SHA256SUMS unsigned (VARNOX_GPG_KEY not set)"
  windows_keys && windows="Windows programs signed with $VARNOX_SIGN_CERT"
  gpg_key && sums="SHA256SUMS signed by $VARNOX_GPG_KEY"
  echo "$sums; $windows"
}

case "${1:-}" in
  windows) shift; sign_windows "$@" ;;
  sums) sign_sums "$2" ;;
  status) status ;;
  *) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
