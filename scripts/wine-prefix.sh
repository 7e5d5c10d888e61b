#!/usr/bin/env bash
# Prepares a Wine prefix for Skimlet and maps NTFS images as drives.
#   scripts/wine-prefix.sh PREFIX [LETTER=IMAGE ...]
# Creates PREFIX when it is new (Chinese fonts, a virtual desktop with the shell task bar,
# unmanaged windows), drops the image drives of an earlier call, maps each IMAGE as drive LETTER
# and stops the Wine server so that the next program sees the new drives.
# Other scripts source it with SKIMLET_WINE_LIB=1 to get skimlet_wine_env and
# skimlet_ensure_locale only; the shell options below are then left as the caller set them.

# Wine takes its ANSI code page from the Unix locale; zh_CN.UTF-8 gives code page 936, as on a
# simplified-Chinese system.
skimlet_wine_env() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    export WINEARCH=win64
}

skimlet_ensure_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
        echo "wine-prefix: generating the zh_CN.UTF-8 locale"
        localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
    fi
}

[ "${SKIMLET_WINE_LIB:-0}" = 1 ] && return 0
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PREFIX [LETTER=IMAGE ...]" >&2
    exit 2
fi
prefix=$(realpath -m "$1")
shift
skimlet_ensure_locale
skimlet_wine_env "$prefix"

# A .reg file in the Unicode format, so that the Chinese font names survive.
write_registry() {
    local multi
    # REG_MULTI_SZ as hex(7): UTF-16LE strings, each ended by a zero, then a final zero.
    multi=$(printf 'wqy-microhei.ttc,WenQuanYi Micro Hei\0WenQuanYi Micro Hei\0\0' |
        iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        local face
        for face in "微软雅黑" "Microsoft YaHei" "SimSun" "宋体" "NSimSun" "新宋体" "SimHei" \
            "黑体" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
            printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
        done
        printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
        for face in "Tahoma" "Arial" "Segoe UI" "Lucida Sans Unicode" "Microsoft Sans Serif" \
            "MS Shell Dlg" "MS Shell Dlg 2" "SimSun" "Courier New"; do
            printf '"%s"=hex(7):%s\r\n' "$face" "$multi"
        done
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n"Decorated"="Y"\r\n'
        # A virtual desktop with the shell task bar: focus follows SetForegroundWindow reliably,
        # the tray exists, and the work area is smaller than the screen.
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n'
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1280x800"\r\n'
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops\\Default]\r\n"EnableShell"=dword:00000001\r\n'
        printf '\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"ForegroundLockTimeout"=dword:00000000\r\n'
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$prefix/skimlet.reg"
}

if [ ! -f "$prefix/system.reg" ] || [ ! -f "$prefix/.skimlet-ready" ]; then
    echo "wine-prefix: creating $prefix"
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    write_registry
    wine regedit /S "$(winepath -w "$prefix/skimlet.reg")" >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.skimlet-ready"
fi

# Drop image drives of an earlier call; c: and z: are Wine's own.
dosdevices="$prefix/dosdevices"
for link in "$dosdevices"/[d-y]: "$dosdevices"/[d-y]::; do
    [ -L "$link" ] && rm -f "$link"
done

drive_types=""
for mapping in "$@"; do
    letter=$(echo "${mapping%%=*}" | tr 'A-Z' 'a-z')
    image=$(realpath "${mapping#*=}")
    case "$letter" in
    [d-y]) ;;
    *)
        echo "wine-prefix: drive letter must be d to y, not '$letter'" >&2
        exit 2
        ;;
    esac
    [ -f "$image" ] || {
        echo "wine-prefix: no image $image" >&2
        exit 2
    }
    # The drive needs a folder for its root and the image as its device.
    mkdir -p "$prefix/drive_$letter"
    ln -sfn "$prefix/drive_$letter" "$dosdevices/$letter:"
    ln -sfn "$image" "$dosdevices/$letter::"
    drive_types+="\"$letter:\"=\"hd\"\r\n"
done
if [ -n "$drive_types" ]; then
    printf "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\\\Software\\\\Wine\\\\Drives]\r\n$drive_types" \
        >"$prefix/drives.reg"
    wine regedit /S "$(winepath -w "$prefix/drives.reg")" >/dev/null 2>&1
fi
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
