#!/usr/bin/env bash
# The window's part of `make bench`: Skimlet.exe under Wine with the 1,000,000-entry image as
# drive D:, in a private prefix and X server under build/, driven by real key presses and clicks.
# The probe asks the window again and again (with requests that wait for a busy window) until the
# status text, the rows and the painting answer for the input, and gives the time of that answer.
# Beside each figure stands the engine's time for the same step, from window_steps in this run.
#   scripts/bench-window.sh [--runs N] [--exe Skimlet.exe]
# Environment: BUILD (default build/native), WIN_BUILD (default build/win), SKIMLET_BENCH_IMAGE.
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=$(realpath -m "${BUILD:-build/native}")
win_build=$(realpath -m "${WIN_BUILD:-build/win}")
image=$(realpath -m "${SKIMLET_BENCH_IMAGE:-$build/bench/bench-1m.img}")
runs=3
exe=$win_build/ui/Skimlet.exe
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2 ;;
    --exe) exe=$(realpath "$2") ;;
    *)
        echo "usage: $0 [--runs N] [--exe Skimlet.exe]" >&2
        exit 2
        ;;
    esac
    shift 2
done
probe=$build/tests/e2e/skimlet-probe.exe
steps=$build/bench/window_steps
for needed in "$exe" "$probe" "$steps" "$image"; do
    if [ ! -f "$needed" ]; then
        echo "bench-window: $needed is missing (make native win, and the bench image)" >&2
        exit 2
    fi
done
for tool in wine Xvfb xdotool; do
    command -v "$tool" >/dev/null || {
        echo "bench-window: $tool not found; window benchmark skipped" >&2
        exit 0
    }
done

work=$repo/build/bench-window
run=$work/run
screenshots=$work/screenshots
rm -rf "$run" && mkdir -p "$run/bin" "$screenshots"
cp "$exe" "$run/bin/Skimlet.exe"
SKIMLET_WINE_LIB=1 source "$repo/scripts/wine-prefix.sh"
skimlet_ensure_locale
export TZ=CST-8
"$repo/scripts/wine-prefix.sh" "$work/prefix" D="$image" >"$run/prefix.log" 2>&1 ||
    { cat "$run/prefix.log" && exit 1; }
skimlet_wine_env "$work/prefix"
source "$repo/tests/e2e/harness.sh"
finish() {
    echo "bench-window: stopped after a failure" >&2
    exit 1
}

# ---- The engine's times and the rows each step must show ----

echo "== window benchmark: engine steps on $(basename "$image")"
"$steps" "$image" "$runs" >"$run/engine.tsv" || finish
declare -A engine_ms count
declare -A cells # STEP,ROW,COLUMN
# A TAB is white space to `read`, which would run empty cells together; 0x1F is not.
while IFS=$'\037' read -r -a field; do
    step=${field[0]}
    engine_ms[$step]=${field[1]}
    count[$step]=${field[2]}
    for row in 0 1 2; do
        for column in 0 1 2 3 4; do
            cells[$step,$row,$column]=${field[$((3 + row * 5 + column))]:-}
        done
    done
done < <(tr '\t' '\037' <"$run/engine.tsv")

count_text() { echo "$(format_count "${count[$1]}") 个对象"; }
# The conditions of the next "until" request, built up in $conditions.
conditions=()
# want KIND FIELD... : adds one condition.
want() { conditions+=("$@"); }
# want_rows STEP COLUMN... : the cells of rows 0 to 2 in those columns, as the engine has them.
want_rows() {
    local step=$1 row column
    shift
    for row in 0 1 2; do
        [ "$row" -lt "${count[$step]}" ] || break
        for column in "$@"; do
            want cell "$list" "$row" "$column" "${cells[$step,$row,$column]}"
        done
    done
}
# Bash's own clock: no process to start, so no delay under load.
now_us() { echo "${EPOCHREALTIME/./}"; }
# measure NAME START_US : waits until the conditions hold and records the delay in ms.
declare -A results
measure() {
    local name=$1 start=$2 ms
    if ! ask until 100000 "${conditions[@]}"; then
        echo "   $name: $answer"
        results[$name]+=" -"
        conditions=()
        ask text "$statusbar" && echo "     status: $answer"
        ask rows "$list" 0 3 && printf '     shown: %s\n' "${answer_lines[@]}"
        return 1
    fi
    conditions=()
    ms=$(awk -v a="${answer%% *}" -v b="$start" 'BEGIN { printf "%.0f", (a - b) / 1000 }')
    results[$name]+=" $ms"
    echo "   $name: $ms ms"
}

start_xvfb 200 259
start_probe

for ((r = 1; r <= runs; r++)); do
    echo "== run $r of $runs"
    out=$run/program-$r.out
    : >"$out"
    (cd "$run/bin" && exec wine Skimlet.exe >"$out" 2>"$run/program-$r.err") &
    program_pids+=($!)
    program_shell=$!
    # The load writes its line about the build thread right after it has started the clock.
    (
        exec {idle}<> <(:)
        while [ ! -s "$out" ]; do read -r -t 0.001 -u "$idle" _; done
        now_us
    ) >"$run/load-start-$r" &
    watcher=$!
    find_main_window 120000

    # The load: from the summary (the build's own time after the clock started) to the rows.
    want prefix "$statusbar" "$(count_text load)   耗时: "
    want count "$list" "${count[load]}"
    want_rows load 0 1
    want painted "$list" painted "$statusbar"
    if ask until 110000 "${conditions[@]}"; then
        shown=${answer%% *}
        wait "$watcher"
        must text "$statusbar"
        seconds=$(sed 's/.*耗时: \([0-9.]*\)秒.*/\1/' <<<"$answer")
        ms=$(awk -v shown="$shown" -v start="$(cat "$run/load-start-$r")" -v s="$seconds" \
            'BEGIN { printf "%.0f", (shown - start) / 1000 - s * 1000 }')
        results[load]+=" $ms"
        echo "   load: summary after ${seconds} s, rows shown $ms ms later"
    else
        echo "   load: $answer"
        results[load]+=" -"
        kill "$watcher" 2>/dev/null
    fi
    conditions=()
    shot "loaded-$r"

    # Typing goes to the query box after a real click into it.
    must setforeground "$main"
    must rect "$edit"
    read -r x y w h <<<"$answer"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    sleep 0.3
    # A first key event after focus changes may be read with a stale keyboard mapping.
    xdotool key shift
    sleep 0.3
    must barrier "$edit"

    start=$(now_us)
    xdotool key a
    want text "$edit" a text "$statusbar" "$(count_text letter)"
    want_rows letter 0 1
    want painted "$list"
    measure letter "$start"

    start=$(now_us)
    xdotool key BackSpace
    want text "$edit" "" text "$statusbar" "$(count_text clear)"
    want_rows clear 0 1
    want painted "$list"
    measure clear "$start"

    # One key every 20 ms, faster than a search and its repaint; the last one apart so that its
    # moment is known.
    first=$(now_us)
    xdotool type --delay 20 "report_9999"
    sleep 0.02
    start=$(now_us)
    xdotool key 7
    want text "$edit" report_99997 text "$statusbar" "$(count_text burst)"
    want_rows burst 0 1
    want painted "$list"
    if measure burst "$start"; then
        ms=$(awk -v a="${answer%% *}" -v b="$first" 'BEGIN { printf "%.0f", (a - b) / 1000 }')
    else
        ms=-
    fi
    results[burst_whole]+=" $ms"

    # A window that takes longer than the probe's patience still gets the text.
    ask settext "$edit" ""
    ask until 100000 text "$edit" "" text "$statusbar" "$(count_text clear)" painted "$list"

    for click in click_name:0 click_size:2; do
        step=${click%%:*}
        column=${click#*:}
        must headerrect "$list" "$column"
        read -r x y w h <<<"$answer"
        must setforeground "$main"
        xdotool mousemove $((x + w / 2)) $((y + h / 2))
        sleep 0.2
        start=$(now_us)
        xdotool click 1
        want text "$statusbar" "$(count_text "$step")"
        want_rows "$step" "$column"
        want painted "$list"
        measure "$step" "$start"
    done
    shot "sorted-$r"

    must post "$main" 0x0111 40004 0
    ask exitcode "$main_pid" 30000 >/dev/null || kill "$program_shell" 2>/dev/null
    wait "$program_shell" 2>/dev/null
done

median() {
    tr ' ' '\n' | sed '/^$/d' | grep -v -- - | sort -n |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.0f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
engine() { printf '%.1f ms' "${engine_ms[$1]}"; }
echo
echo "== window benchmark, $(format_count "${count[load]}") entries, $runs runs (median; every run)"
printf '%-52s %10s   %-22s %s\n' "step" "window" "runs" "engine"
row() { printf '%-52s %7s ms   %-22s %s\n' "$1" "$(median <<<"${results[$2]}")" "${results[$2]# }" "$3"; }
row "load summary -> first rows shown" load "build $(engine load)"
row "one letter 'a' ($(count_text letter))" letter "$(engine letter)"
row "Backspace to an empty box ($(count_text clear))" clear "$(engine clear)"
row "burst 'report_99997', after the last key" burst "last search $(engine last_key)"
row "burst 'report_99997', from the first key" burst_whole "all 12 searches $(engine burst)"
row "header click 名称" click_name "$(engine click_name)"
row "header click 大小" click_size "$(engine click_size)"
wineserver -k 2>/dev/null
