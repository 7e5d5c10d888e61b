#!/usr/bin/env bash
# Makes the NTFS image that `make bench` reads: 1,000,000 entries (3 GiB sparse) by default,
# 5,000,000 (15 GiB sparse) with BENCH_ENTRIES=5000000.
# Usage: scripts/make-bench-image.sh OUT. Environment: BUILD (default build/native), BENCH_ENTRIES.
set -euo pipefail
manifests=$(dirname "$0")/../tests/fixtures/manifests
case ${BENCH_ENTRIES:-1000000} in
1000000) manifest=$manifests/bench.manifest ;;
5000000) manifest=$manifests/bench-5m.manifest ;;
*)
    echo "no bench manifest for BENCH_ENTRIES=$BENCH_ENTRIES (1000000 or 5000000)" >&2
    exit 2
    ;;
esac
exec "$(dirname "$0")/../tests/fixtures/make-fixture-image.sh" "$manifest" "$@"
