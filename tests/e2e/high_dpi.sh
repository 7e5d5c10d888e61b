#!/usr/bin/env bash
# Runs Skimlet.exe under Wine at 144 DPI (150 %) and holds its sizes against the 96-DPI design
# scaled by 1.5: the window, the query box and its font, the columns; no header or time text is
# cut in the default layout. Saves the screenshot dpi-144.png.
#
#   high_dpi.sh --exe Skimlet.exe --make-image skimlet-make-image --probe skimlet-probe.exe
#               --work DIR [--screenshots DIR]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
screenshots="$repo/build/screenshots"
source "$here/arguments.sh"
read_arguments high_dpi "exe make_image probe work" "$@"

started=$(date +%s)
SKIMLET_WINE_LIB=1 source "$repo/scripts/wine-prefix.sh"
skimlet_ensure_locale
export TZ=CST-8
rm -rf "$work/run" && mkdir -p "$work/run" "$screenshots"
run="$work/run"
prefix="$work/prefix"
skimlet_wine_env "$prefix"
source "$here/harness.sh"
finish() {
    echo "high DPI: $checks checks, $failures failed, $(($(date +%s) - started)) s"
    [ "$failures" -eq 0 ] && exit 0
    exit 1
}

# A screen as large as a laptop's at 150 %, so that the scaled window fits on it.
start_xvfb 140 199 1920x1080
"$make_image" "$run/docs.img" "$here/images/docs.manifest" >"$run/docs.facts.log" 2>&1 ||
    { echo "cannot make docs.img:" && cat "$run/docs.facts.log" && exit 1; }
"$repo/scripts/wine-prefix.sh" "$prefix" D="$run/docs.img" >"$run/prefix.log" 2>&1 ||
    { cat "$run/prefix.log" && exit 1; }
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

start_probe
mkdir -p "$run/bin"
cp "$exe" "$run/bin/Skimlet.exe"
(cd "$run/bin" && exec wine Skimlet.exe >"$run/program.out" 2>&1) &
program_pids+=($!)
find_main_window 60000
loaded=0
for _ in $(seq 600); do
    ask text "$statusbar" && [[ "$answer" =~ 耗时 ]] && { loaded=1; break; }
    sleep 0.2
done
[ "$loaded" = 1 ] && pass || fail "no finished-load text ($answer)"
must barrier "$edit"

# Every size of the design times 1.5, halves rounded up.
must rect "$main"
read -r _ _ w h <<<"$answer"
check "window size" "1335 750" "$w $h"
must client "$main"
read -r cx cy cw ch <<<"$answer"
must rect "$edit"
check "query box" "$cx $cy $cw 45" "$answer"
must font "$edit"
check "query box font" "Arial"$'\t'"39" "$(cut -f1,2 <<<"$answer")"
must rect "$list"
check "result list" "$cx $((cy + 45)) $cw $((ch - 45 - 41))" "$answer"
widths=""
for column in 0 1 2 3 4; do
    must send "$list" 0x101D "$column" 0 # LVM_GETCOLUMNWIDTH
    widths+="$answer "
done
check "column widths" "360 420 135 180 180 " "$widths"

# Nothing of the default layout is cut: each header text and the time texts of the first rows
# fit their column with the list's margin of 6 pixels a side at 96 DPI (9 here).
margin=18
must headers "$list"
headers=("${answer_lines[@]}")
read -r -a column_widths <<<"$widths"
for column in 0 1 2 3 4; do
    must textwidth "$list" "${headers[$column]}"
    need=$((answer + margin))
    [ "$need" -le "${column_widths[$column]}" ] && pass ||
        fail "header $column '${headers[$column]}' needs $need pixels of ${column_widths[$column]}"
done
must rows "$list" 0 20
rows=("${answer_lines[@]}")
widest=(0 0 0 0 0)
for line in "${rows[@]}"; do
    IFS=$'\t' read -r -a cells <<<"$line"
    for column in 2 3 4; do
        [ -z "${cells[$column]:-}" ] && continue
        must textwidth "$list" "${cells[$column]}"
        [ "$answer" -gt "${widest[$column]}" ] && widest[$column]=$answer
    done
done
for column in 3 4; do
    if [ "${widest[$column]}" -gt 0 ] && [ $((widest[column] + margin)) -le "${column_widths[$column]}" ]; then
        pass
    else
        fail "column $column: the widest time text needs $((widest[column] + margin)) of ${column_widths[$column]} pixels"
    fi
done
# A folder text that its column cuts short shows whole in a tooltip while the mouse rests on it;
# a text that fits shows none.
cut_row="" fit_row=""
for i in "${!rows[@]}"; do
    IFS=$'\t' read -r -a cells <<<"${rows[$i]}"
    must textwidth "$list" "${cells[1]}"
    if [ $((answer + margin)) -gt "${column_widths[1]}" ]; then
        [ -z "$cut_row" ] && cut_row=$i cut_text=${cells[1]}
    elif [ -z "$fit_row" ]; then
        fit_row=$i
    fi
done
# tip_over ROW : rests the mouse on the folder cell of ROW; the visible tooltip's text in $tip.
tip_over() {
    local hx hw ry rh line
    must headerrect "$list" 1
    read -r hx _ hw _ <<<"$answer"
    must itemrect "$list" "$1"
    read -r _ ry _ rh <<<"$answer"
    xdotool mousemove $((hx + hw / 2)) $((ry + rh / 2))
    sleep 0.2
    xdotool mousemove $((hx + hw / 2 + 3)) $((ry + rh / 2))
    tip=""
    for _ in $(seq 30); do
        sleep 0.1
        ask findall tooltips_class32 - "$main_pid" || continue
        for line in "${answer_lines[@]}"; do
            ask visible "${line%% *}" && [ "$answer" = 1 ] || continue
            ask text "${line%% *}" && tip=$answer
        done
        [ -n "$tip" ] && return
    done
}
if [ -n "$cut_row" ] && [ -n "$fit_row" ]; then
    must setforeground "$main"
    tip_over "$fit_row"
    check "no tooltip over a folder text that fits" "" "$tip"
    tip_over "$cut_row"
    check "tooltip over a cut folder text" "$cut_text" "$tip"
    shot "cell-tooltip-144"
else
    fail "the first rows hold no cut folder text and one that fits (rows $cut_row, $fit_row)"
fi
xdotool mousemove 5 5
sleep 0.3
shot "dpi-144"
echo "   screenshot: $screenshots/dpi-144.png"

# A secondary window opens at the DPI of the main window: "帮助" is 400 x 250 at 96 DPI.
must post "$main" 0x0111 40024 0
if ask waitfind 10000 HelpWindow - "$main_pid"; then
    help=$answer
    must rect "$help"
    read -r _ _ w h <<<"$answer"
    check "帮助 window size" "600 375" "$w $h"
    # The second label holds "帮助：" in the window's font of character height 16 at 96 DPI.
    must children "$help"
    must font "${answer_lines[1]%%$'\t'*}"
    check "帮助 font" "微软雅黑"$'\t'"-24" "$(cut -f1,2 <<<"$answer")"
    shot "help-144"
    must post "$help" 0x0010 0 0
    for _ in $(seq 50); do
        ask visible "$help" || break
        [ "$answer" = 0 ] && break
        sleep 0.1
    done
    # The main window is enabled again once the window's own message loop has ended.
    for _ in $(seq 50); do
        ask enabled "$main" && [ "$answer" = 1 ] && break
        sleep 0.1
    done
    must barrier "$edit"
else
    fail "帮助: no window"
fi

must post "$main" 0x0111 40004 0
if ask exitcode "$main_pid" 20000; then
    check "退出: exit code" 0 "$answer"
else
    fail "退出: the process did not end ($answer)"
fi
finish
