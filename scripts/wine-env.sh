# Sourced by the scripts that run Windows binaries: the Wine prefix of the
# build tree, made once, with a Japanese font standing in for the window's
# font. Quiet when the prefix is ready.
#
# The default prefix is for virtual displays, which have no window manager:
# its windows are not managed, since Wine waits two seconds for a window
# manager on every hide and destroy of a managed window. With
# NOLPA_WINE_MANAGED=1 the prefix build/wineprefix-managed is used instead,
# whose windows a desktop's window manager decorates.
nolpa_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${NOLPA_WINE_MANAGED:-0}" = 1 ]; then
  nolpa_default_prefix=$nolpa_root/build/wineprefix-managed
else
  nolpa_default_prefix=$nolpa_root/build/wineprefix
fi
export WINEPREFIX=${NOLPA_WINEPREFIX:-$nolpa_default_prefix}
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko download prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

nolpa_prefix_stamp=$WINEPREFIX/.nolpa-prefix-v4

# The prefix's settings as a UTF-16 .reg file, the one form regedit reads
# whatever the locale: the window's font and the dialog fonts fall back to
# the IPA fonts; windows are unmanaged unless asked otherwise.
nolpa_prefix_registry() {
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    # A crash prints its backtrace and ends; no dialog waits for a click.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
    if [ "${NOLPA_WINE_MANAGED:-0}" != 1 ]; then
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    fi
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
    printf '"ＭＳ ゴシック"="IPAGothic"\r\n'
    printf '"MS PGothic"="IPAPGothic"\r\n'
    printf '"MS Gothic"="IPAGothic"\r\n'
    printf '"MS UI Gothic"="IPAPGothic"\r\n\r\n'
    local key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    printf '[%s]\r\n' "$key"
    local face
    for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
      printf '"%s"=hex(7):%s\r\n' "$face" "$(printf 'ipagp.ttf,IPAPGothic\0\0' |
        iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//;s/,$//')"
    done
  } | iconv -f UTF-8 -t UTF-16 >"$1"
}

if [ ! -f "$nolpa_prefix_stamp" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  nolpa_reg=$(mktemp --suffix=.reg)
  nolpa_prefix_registry "$nolpa_reg"
  wine regedit /S "$nolpa_reg" >/dev/null 2>&1
  rm -f "$nolpa_reg"
  wineserver -w
  touch "$nolpa_prefix_stamp"
fi

# Wine's own fonts (title-bar glyphs, Tahoma) when fonts-wine is installed:
# this Wine does not look for them where Debian puts them.
if [ -d /usr/share/wine/fonts ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  ln -sf /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
