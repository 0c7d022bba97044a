#!/usr/bin/env bash
# Packs a release from built programs: the archive NOLPAID-<version>-win32.zip,
# the installer NOLPAID-<version>.msi and SHA256SUMS, in OUT. The same
# programs, version and SOURCE_DATE_EPOCH give the same bytes: every file
# carries that time, the archive lists its files in one order without the
# Unix extras, the installer's dates are that time and its codes are derived
# from the version and the files, never drawn at random.
#   scripts/release-package.sh PROGRAMS VERSION OUT
# PROGRAMS holds NOLPAID.exe, NOLPAIDC.exe and Morvalib.dll; with
# NOLPA_SIGN_CERT set, the programs and the installer are signed
# (scripts/release-sign.sh; the library comes signed from ./release).
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -eq 3 ] || { echo "usage: $0 PROGRAMS VERSION OUT" >&2; exit 2; }
programs=$1 version=$2 out=$3
: "${SOURCE_DATE_EPOCH:?SOURCE_DATE_EPOCH must be set (./release sets it from the commit)}"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "bad version: $version" >&2; exit 2; }
export TZ=UTC LC_ALL=C

# The installer's upgrade code (packaging/nolpaid.wxs) names the product for
# good; the codes derived here are name-based UUIDs (version 5) within it.
upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' packaging/nolpaid.wxs)
[ -n "$upgrade_code" ] || { echo "no upgrade code in packaging/nolpaid.wxs" >&2; exit 1; }

# uuid5 NAMESPACE NAME: the name-based UUID of RFC 4122 (SHA-1), in capitals.
uuid5() {
  local hash variant
  hash=$({ printf "$(sed 's/-//g; s/../\\x&/g' <<<"$1")"; printf '%s' "$2"; } | sha1sum)
  variant=$(printf '%x' $(( (0x${hash:16:1} & 3) | 8 )))
  hash="${hash:0:12}5${hash:13:3}${variant}${hash:17:15}"
  printf '%s-%s-%s-%s-%s\n' "${hash:0:8}" "${hash:8:4}" "${hash:12:4}" "${hash:16:4}" \
    "${hash:20:12}" | tr a-f A-F
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
payload=$stage/payload
mkdir -p "$payload/docs"

# The pages a line engineer reads, as text Notepad shows right on every
# Windows the program runs on: UTF-8 with a byte-order mark, CRLF line ends,
# links between them pointing at the .txt names.
docs=(install program command-line production-lines real-machine library)
links=$(printf 's/(\\(%s\\)\\.md\\([)#]\\)/(\\1.txt\\2/g;' "${docs[@]}")
windows_text() {  # SOURCE TARGET
  { printf '\xef\xbb\xbf'; sed -e "$links" -e 's/\r$//; s/$/\r/' "$1"; } >"$2"
}
for page in "${docs[@]}"; do windows_text "docs/$page.md" "$payload/docs/$page.txt"; done
sed "s/@VERSION@/$version/g" packaging/README.txt >"$stage/README.txt"
windows_text "$stage/README.txt" "$payload/README.txt"
cp "$programs/NOLPAID.exe" "$programs/NOLPAIDC.exe" "$programs/Morvalib.dll" "$payload/"
cp serial_library/morvalib.h "$payload/"
if [ -n "${NOLPA_SIGN_CERT:-}" ]; then
  scripts/release-sign.sh "$payload/NOLPAID.exe" "$payload/NOLPAIDC.exe"
fi
find "$payload" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$payload" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

mkdir -p "$out"
rm -f "$out"/NOLPAID-*-win32.zip "$out"/NOLPAID-*.msi "$out/SHA256SUMS"
zip_name=NOLPAID-$version-win32.zip msi_name=NOLPAID-$version.msi

# -X leaves out the Unix owner and time fields, -D the folder entries.
(cd "$payload" && find . -type f -printf '%P\n' | sort |
  zip -X -D -q -9 "$stage/$zip_name" -@)

# The installer's dates are wixl's clock, so wixl runs at the commit's time;
# its package code is random, so the derived one replaces it.
frozen=(faketime -f "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')")
product_code=$(uuid5 "$upgrade_code" "product $version")
package_code=$(uuid5 "$upgrade_code" "package $version $(cd "$payload" &&
  find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum | sha256sum | cut -c1-64)")
msi=$stage/$msi_name
# wixl takes the files' names relative to the descriptor's folder.
cp packaging/nolpaid.wxs "$stage/"
"${frozen[@]}" wixl -a x86 -o "$msi" -D Version="$version" -D ProductCode="{$product_code}" \
  -D Payload=payload "$stage/nolpaid.wxs"
# What wixl cannot say: a plain shortcut (wixl makes only advertised ones,
# which run the installer's repair check at every start), the console
# companion's folder at the end of the system PATH, taken out again on
# removal, and the programs' file versions (their version resources').
"${frozen[@]}" msibuild "$msi" -i packaging/Environment.idt -q \
  "UPDATE \`Shortcut\` SET \`Target\` = '[#NOLPAID.exe]' WHERE \`Shortcut\` = 'StartMenuEntry'" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)" \
  -q "UPDATE \`File\` SET \`Version\` = '$version.0' WHERE \`File\` = 'NOLPAID.exe' OR \`File\` = 'NOLPAIDC.exe' OR \`File\` = 'Morvalib.dll'" \
  -s "VARDU NOLPA Identifier Utility $version" VARDU "Intel;1033" "{$package_code}"
if [ -n "${NOLPA_SIGN_CERT:-}" ]; then scripts/release-sign.sh "$msi"; fi

for f in "$zip_name" "$msi_name"; do
  touch -d "@$SOURCE_DATE_EPOCH" "$stage/$f"
  mv "$stage/$f" "$out/"
done
(cd "$out" && sha256sum "$zip_name" "$msi_name" >SHA256SUMS)
echo "$out: $zip_name, $msi_name, SHA256SUMS (product code {$product_code})"
