#!/usr/bin/env bash
# Signs each FILE in place with Authenticode (SHA-256) by osslsigncode: the
# certificate and key from the PKCS#12 file NOLPA_SIGN_CERT, its password
# from NOLPA_SIGN_PASSWORD (empty when unset). The password reaches
# osslsigncode through a pipe, never on a command line another user could
# read. The signature carries the time of signing, so a signed file differs
# from run to run; the unsigned release is the one with the same bytes.
#   NOLPA_SIGN_CERT=CERT.pfx scripts/release-sign.sh FILE...
set -euo pipefail
: "${NOLPA_SIGN_CERT:?NOLPA_SIGN_CERT names the PKCS#12 file to sign with}"
for file in "$@"; do
  signed=$file.signed
  if ! osslsigncode sign -pkcs12 "$NOLPA_SIGN_CERT" -readpass <(printf '%s' "${NOLPA_SIGN_PASSWORD:-}") \
      -h sha256 -n "VARDU NOLPA Identifier Utility" -in "$file" -out "$signed" >/dev/null; then
    rm -f "$signed"
    echo "release-sign: could not sign $file with $NOLPA_SIGN_CERT (wrong password?)" >&2
    exit 1
  fi
  mv "$signed" "$file"
done
