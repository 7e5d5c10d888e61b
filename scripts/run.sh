#!/usr/bin/env bash
# `make run`: shows Skimlet.exe under Wine with the demo NTFS image as drive D.
# Builds what is missing, makes the demo image and a Wine prefix, starts an X server when there is
# no display, starts the program and takes a screenshot once it has loaded. With a display of
# your own the program stays open until you close it; in the private X server it is ended after
# the screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${NATIVE:-$root/build/native}
win=${WIN:-$root/build/win}
out=$root/build/run
screenshot=$root/build/screenshots/run.png
exe=$win/ui/Skimlet.exe
probe=$native/tests/e2e/skimlet-probe.exe

if [ ! -f "$exe" ]; then
    cmake -S "$root" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$win" -j"${JOBS:-2}"
fi
if [ ! -f "$probe" ]; then
    cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$native" --target skimlet_probe -j"${JOBS:-2}"
fi

mkdir -p "$out/bin" "$(dirname "$screenshot")"
BUILD=$native "$root/scripts/make-demo-image.sh" "$out/demo.img"
"$root/scripts/wine-prefix.sh" "$out/prefix" D="$out/demo.img"
SKIMLET_WINE_LIB=1 source "$root/scripts/wine-prefix.sh"
skimlet_wine_env "$out/prefix"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 120 139); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    echo "No display: started Xvfb on $DISPLAY"
fi

# Started from a folder of its own, so that "新建搜索窗口" finds "Skimlet.exe" beside it.
cp "$exe" "$out/bin/Skimlet.exe"
(cd "$out/bin" && exec wine Skimlet.exe >"$out/program.out" 2>&1) &
program=$!

ask() { wine "$probe" "$@" 2>/dev/null | sed -n '1s/^ok //p'; }
main=$(ask waitfind 60000 CreateChildWindow)
status=""
if [ -n "$main" ]; then
    statusbar=$(ask child "$main" 3000)
    for _ in $(seq 300); do
        status=$(ask text "$statusbar")
        [[ "$status" == *耗时* ]] && break
        sleep 0.2
    done
fi
import -window root "$screenshot"
echo "Skimlet.exe: ${status:-no main window found}"
echo "Screenshot: $screenshot"

if [ -n "$xvfb_pid" ]; then
    [ -n "$main" ] && ask post "$main" 0x0111 40004 0 >/dev/null
    wait "$program" || true
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
else
    echo "Close the window to end."
    wait "$program" || true
fi
[ -n "$main" ]
