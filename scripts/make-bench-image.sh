#!/usr/bin/env bash
# Makes the 1,000,000-entry NTFS image (3 GiB sparse, about 20 s) that `make bench` reads.
# Usage: scripts/make-bench-image.sh OUT. Environment: BUILD (default build/native).
set -euo pipefail
exec "$(dirname "$0")/../tests/fixtures/make-fixture-image.sh" "$(dirname "$0")/../tests/fixtures/manifests/bench.manifest" "$@"
