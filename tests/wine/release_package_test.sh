#!/usr/bin/env bash
# The release ./release makes, checked without Windows:
# - built twice (the programs linked again), the archive, the installer and
#   SHA256SUMS are the same bytes, the sums are true, every program says the
#   version the files are named after, and none names a folder of the
#   machine that built it;
# - the installer holds the archive's files, byte for byte;
# - unsigned without a certificate; with a throw-away self-signed one, every
#   program, the library, the library inside each program and the installer
#   carry a valid Authenticode signature (osslsigncode verify), and a wrong
#   password fails the run instead of leaving an unsigned release.
# Leaves WORK/dist-a for the installer test (installer_test.sh).
#   release_package_test.sh SOURCE WORK
set -euo pipefail
root=$(realpath "$1") work=$2
mkdir -p "$work"
work=$(realpath "$work")
source "$root/tests/wine/release_steps.sh"

# One build tree serves every run (and the installer test's next version):
# a tree of its own per run would cost a build each on a fresh clone. The
# second run links the programs again from the same objects and packs them
# again; that the objects hold no folder of this machine is checked below.
release_into tree dist-a
rm -f "$work/tree/NOLPAID.exe" "$work/tree/NOLPAIDC.exe" "$work/tree/Morvalib.dll"
release_into tree dist-again
cmp "$work/dist-a/SHA256SUMS" "$work/dist-again/SHA256SUMS" ||
  fail "two builds of one commit differ: $(diff "$work/dist-a/SHA256SUMS" "$work/dist-again/SHA256SUMS")"
(cd "$work/dist-again" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match its files"

unpack "$work/dist-a" "$work/unpacked-a"
version=$(basename "$work"/dist-a/NOLPAID-*.msi .msi)
version=${version#NOLPAID-}
for f in "$work"/unpacked-a/*.exe "$work"/unpacked-a/*.dll; do
  strings -el "$f" | grep -xF "$version.0" >/dev/null || fail "$(basename "$f") does not say $version.0"
  for folder in "$root" "$work"; do
    if LC_ALL=C grep -qaF "$folder" "$f"; then fail "$(basename "$f") names $folder"; fi
  done
done
extracted=$work/extracted-a
rm -rf "$extracted" && mkdir -p "$extracted"
msiextract -C "$extracted" "$work"/dist-a/NOLPAID-*.msi >/dev/null
diff -r "$work/unpacked-a" "$extracted/Program Files/NOLPA Identifier Utility" ||
  fail "the installer's files are not the archive's"
if osslsigncode verify -in "$work/unpacked-a/NOLPAID.exe" >/dev/null 2>&1; then
  fail "a release without --sign is signed"
fi

# The throw-away certificate: its password only in the environment.
certs=$work/certificate
rm -rf "$certs" && mkdir -p "$certs"
export NOLPA_SIGN_PASSWORD=pw-$RANDOM$RANDOM
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=NOLPA release test signer" \
  -keyout "$certs/key.pem" -out "$certs/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$certs/key.pem" -in "$certs/cert.pem" -out "$certs/cert.pfx" \
  -passout env:NOLPA_SIGN_PASSWORD

NOLPA_SIGN_PASSWORD=not-$NOLPA_SIGN_PASSWORD expect_release_failure tree dist-wrong \
  --sign "$certs/cert.pfx"
[ ! -e "$work/dist-wrong/SHA256SUMS" ] || fail "a wrong password still wrote a release"

release_into tree dist-signed --sign "$certs/cert.pfx"
signed=$work/unpacked-signed
unpack "$work/dist-signed" "$signed"
for f in "$signed/NOLPAID.exe" "$signed/NOLPAIDC.exe" "$signed/Morvalib.dll" \
         "$work"/dist-signed/NOLPAID-*.msi; do
  osslsigncode verify -CAfile "$certs/cert.pem" -in "$f" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "$(basename "$f") has no valid signature"; }
done
for program in NOLPAID.exe NOLPAIDC.exe; do
  carries_library "$signed/$program" "$signed/Morvalib.dll" ||
    fail "$program does not carry the signed Morvalib.dll"
done
echo "release: the same bytes twice ($(cut -c1-16 "$work/dist-a/SHA256SUMS" | tr '\n' ' ')); signed and verified"
