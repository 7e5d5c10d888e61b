#!/usr/bin/env bash
# Makes the NTFS image that `make bench` reads: 1,000,000 entries (3 GiB sparse) by default,
# 5,000,000 (15 GiB sparse) with BENCH_ENTRIES=5000000, 10,000,000 (30 GiB sparse) with
# BENCH_ENTRIES=10000000.
# Usage: scripts/make-bench-image.sh OUT. Environment: BUILD (default build/native), BENCH_ENTRIES.
set -euo pipefail
manifests=$(dirname "$0")/../tests/fixtures/manifests
case ${BENCH_ENTRIES:-1000000} in
1000000) manifest=$manifests/bench.manifest ;;
5000000) manifest=$manifests/bench-5m.manifest ;;
10000000) manifest=$manifests/bench-10m.manifest ;;
*)
    echo "no bench manifest for BENCH_ENTRIES=$BENCH_ENTRIES (1000000, 5000000 or 10000000)" >&2
    exit 2
    ;;
esac
exec "$(dirname "$0")/../tests/fixtures/make-fixture-image.sh" "$manifest" "$@"
