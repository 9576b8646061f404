#!/usr/bin/env bash
# Signs Windows programs, setups and MSI packages in place with osslsigncode (Authenticode, SHA-256),
# when a certificate is given; without one it does nothing.
#   TAMBERLIN_SIGN_CERT           the certificate (chain) as a PEM file
#   TAMBERLIN_SIGN_KEY            its private key as a PEM file
#   TAMBERLIN_SIGN_PASS           the key's password, if it has one
#   TAMBERLIN_SIGN_TIMESTAMP_URL  a time-stamping server (RFC 3161), used only when set
# Usage: sign.sh FILE...
#        sign.sh --state FILE   writes what signing would use into FILE when that changed, so that
#                               the build signs anew when a certificate is given or taken away
set -euo pipefail
cert="${TAMBERLIN_SIGN_CERT:-}"
key="${TAMBERLIN_SIGN_KEY:-}"

if [ "${1:-}" = "--state" ]; then
  state="$2"
  if [ -n "$cert" ]; then
    now="cert $cert $(sha256sum <"$cert" 2>/dev/null || echo missing) key $key timestamp ${TAMBERLIN_SIGN_TIMESTAMP_URL:-}"
  else
    now="unsigned"
  fi
  [ -f "$state" ] && [ "$(cat "$state")" = "$now" ] || printf '%s' "$now" >"$state"
  exit 0
fi

[ -n "$cert" ] || exit 0
fail() {
  echo "sign.sh: $*" >&2
  exit 1
}
[ -n "$key" ] || fail "TAMBERLIN_SIGN_CERT is set but TAMBERLIN_SIGN_KEY is not: give the private key's PEM file too, or unset both to build unsigned"
[ -r "$cert" ] || fail "cannot read the certificate TAMBERLIN_SIGN_CERT=$cert"
[ -r "$key" ] || fail "cannot read the private key TAMBERLIN_SIGN_KEY=$key"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing: run tools/windows/install-deps.sh"

options=(-certs "$cert" -key "$key" -h sha256 -n Tamberlin)
if [ -n "${TAMBERLIN_SIGN_PASS:-}" ]; then options+=(-pass "$TAMBERLIN_SIGN_PASS"); fi
if [ -n "${TAMBERLIN_SIGN_TIMESTAMP_URL:-}" ]; then options+=(-ts "$TAMBERLIN_SIGN_TIMESTAMP_URL"); fi
for file in "$@"; do
  rm -f "$file.signed"
  osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null ||
    fail "signing $file failed (see osslsigncode's message above)"
  mv "$file.signed" "$file"
done
