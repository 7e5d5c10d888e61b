# Shared by the Wine checks (sourced): counting checks, a private X server, and the probe as a
# coprocess that answers one request per line. The sourcing script sets $run, $probe and
# $screenshots, defines finish(), and records the programs it starts in program_pids.

checks=0
failures=0
pass() { checks=$((checks + 1)); }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL: $*"
}
# check NAME EXPECTED ACTUAL
check() {
    if [ "$2" == "$3" ]; then
        pass
    else
        fail "$1"
        echo "  expected: $2"
        echo "  actual:   $3"
    fi
}

probe_pid=""
program_pids=()
xvfb_pid=""
cleanup() {
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    for pid in "${program_pids[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}

# start_xvfb FIRST LAST [WIDTHxHEIGHT] : an X server on the first free display of the range, ended
# on exit; 1280x800 unless a size is given.
start_xvfb() {
    local n display=""
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            display=":$n"
            break
        fi
    done
    Xvfb "$display" -screen 0 "${3:-1280x800}x24" -nolisten tcp >"$run/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY="$display"
    trap cleanup EXIT
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
}

start_probe() {
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
    coproc PROBE { wine "$probe" 2>"$run/probe.err"; }
    probe_pid=$PROBE_PID
}
# ask FIELD... : the answer's text in $answer; the status (0 for "ok") as result. Answers with
# several lines are left in $answer_lines.
answer=""
answer_lines=()
ask() {
    local IFS=$'\t' line count
    echo "$*" >&"${PROBE[1]}"
    if ! read -r -t 120 line <&"${PROBE[0]}"; then
        answer="no answer from the probe"
        return 1
    fi
    answer=${line#* }
    answer_lines=()
    if [ "${line%% *}" != ok ]; then
        return 1
    fi
    if [[ "$1" =~ ^(rows|headers|children|findall|menutree)$ ]]; then
        count=$answer
        # mapfile reads everything when given 0 lines to read.
        [ "$count" -gt 0 ] && mapfile -t -n "$count" answer_lines <&"${PROBE[0]}"
    fi
    return 0
}
# must FIELD... : like ask, but a refused request ends the run.
must() {
    if ! ask "$@"; then
        fail "probe request '$*': $answer"
        finish
    fi
}
# format_count N: N with a comma between each group of three digits, as the status bar shows it.
format_count() {
    local n=$1 out=""
    while [ ${#n} -gt 3 ]; do
        out=",${n: -3}$out"
        n=${n:0:${#n}-3}
    done
    echo "$n$out"
}
shot() {
    import -window root "$screenshots/$1.png" 2>/dev/null || fail "screenshot $1"
}
# find_main_window TIMEOUT_MS: waits for the main window and its controls; sets main, main_pid
# (watched by the probe), edit, list and statusbar.
find_main_window() {
    must waitfind "$1" CreateChildWindow
    main=$answer
    must pid "$main"
    main_pid=$answer
    must watch "$main_pid"
    # The window is found as soon as it exists, perhaps before its controls are made.
    for _ in $(seq 100); do
        ask child "$main" 2000 && break
        sleep 0.1
    done
    must child "$main" 1000
    edit=$answer
    must child "$main" 2000
    list=$answer
    must child "$main" 3000
    statusbar=$answer
}
