#!/usr/bin/env bash
# Installs the Debian packages the build and the Wine tests need (the plant
# database's tests too: a PostgreSQL server they start themselves, unixODBC and
# its PostgreSQL driver natively, and the 32-bit unixODBC and driver that
# Wine's odbc32 hands its calls to), and any
# package named as an argument (./run --screenshot adds xdotool, ./lint clang-tidy-14); quiet when
# all are there.
set -euo pipefail

packages=(cmake g++ googletest libgtest-dev libgmock-dev mingw-w64 wine wine32:i386 xvfb xauth
          fonts-ipafont-gothic fonts-wine nlohmann-json3-dev imagemagick x11-utils
          clang-14 libclang-rt-14-dev clang-format-14 ccache
          postgresql-15 unixodbc unixodbc-dev odbc-postgresql libodbc2:i386 odbc-postgresql:i386
          msitools wixl osslsigncode zip unzip faketime openssl)

missing=()
for p in "${packages[@]}" "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
