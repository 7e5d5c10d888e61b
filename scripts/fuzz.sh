#!/usr/bin/env bash
# `make fuzz`: runs each libFuzzer program of build/fuzz for FUZZ_SECONDS (default 600), two at a
# time, from the committed seeds. New inputs go to build/fuzz/corpus/<target>; a crash, hang or
# memory blow-up is saved to fuzz/crashes/<target>/, where `make test` replays it. Each input is
# held to its own cost budget inside the target (fuzz/cost_budget.h), in processor time; the
# limits here only catch what escapes it, as libFuzzer's timeout counts the wall clock, which a
# fuzzer at the lowest priority on a busy machine runs far behind.
# Environment: FUZZ_SECONDS, FUZZ_TARGETS (default: all three), FUZZ_JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}
targets=(${FUZZ_TARGETS:-fuzz_record fuzz_volume fuzz_query})
jobs=${FUZZ_JOBS:-2}
# The volume target's inputs are whole volume images.
declare -A max_len=([fuzz_record]=8192 [fuzz_volume]=262144 [fuzz_query]=256)

run_one() {
    local target=$1 work=build/fuzz/corpus/$1
    mkdir -p "$work" "fuzz/crashes/$target"
    # Forked, so that a finding is saved and the run goes on for its whole time.
    build/fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
        -max_len="${max_len[$target]}" -print_final_stats=1 \
        -artifact_prefix="fuzz/crashes/$target/" "$work" "fuzz/corpus/$target" \
        >"build/fuzz/$target.log" 2>&1 || true
    local execs cov crashes
    execs=$(grep -o '^#[0-9]*' "build/fuzz/$target.log" | tail -1 | tr -d '#' || echo '?')
    cov=$(grep -o 'cov: [0-9]*' "build/fuzz/$target.log" | tail -1 | grep -o '[0-9]*' || echo '?')
    crashes=$(find "fuzz/crashes/$target" -type f ! -name README | wc -l)
    echo "$target: ${seconds} s, ${execs} executions, coverage ${cov} edges, ${crashes} saved crash inputs (log build/fuzz/$target.log)"
}

running=0
for target in "${targets[@]}"; do
    run_one "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait
