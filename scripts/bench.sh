#!/usr/bin/env bash
# `make bench`: runs every benchmark of the native build on the 1,000,000-entry image, then the
# window's benchmark under Wine (scripts/bench-window.sh) when the Windows build is there;
# `make bench-5m` (BENCH_ENTRIES=5000000) runs the native ones on the 5,000,000-entry image, and
# BENCH_ENTRIES=10000000 on a 10,000,000-entry one.
# Environment: BUILD (default build/native), BENCH_ENTRIES (1000000, 5000000 or 10000000),
# SKIMLET_BENCH_IMAGE (default: made under BUILD), BENCH_ARGS (more benchmark options).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/native}
entries=${BENCH_ENTRIES:-1000000}
export BENCH_ENTRIES=$entries
image=${SKIMLET_BENCH_IMAGE:-$build/bench/bench-$((entries / 1000000))m.img}

# The image maker skips the work when the image is newer than the tool.
if [ -x scripts/make-bench-image.sh ]; then
    BUILD=$(realpath "$build") scripts/make-bench-image.sh "$image"
fi
if [ ! -r "$image" ]; then
    echo "note: no bench image at $image; image benchmarks will be skipped" >&2
fi
export SKIMLET_BENCH_IMAGE=$image

# One line per benchmark binary in $build/bench; add new ones here.
benches=(
    index_bench
    search_bench
)
for bench in "${benches[@]}"; do
    echo "== $bench"
    # BENCH_ARGS passes more options, e.g. --benchmark_repetitions=3 for medians.
    # shellcheck disable=SC2086
    "$build/bench/$bench" --benchmark_counters_tabular=true ${BENCH_ARGS:-}
done

if [ "$entries" -eq 1000000 ]; then
    if [ -f "${WIN_BUILD:-build/win}/ui/Skimlet.exe" ]; then
        echo "== window"
        BUILD=$build scripts/bench-window.sh
    else
        echo "note: no ${WIN_BUILD:-build/win}/ui/Skimlet.exe; the window benchmark is skipped" >&2
    fi
fi
