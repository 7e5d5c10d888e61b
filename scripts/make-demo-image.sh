#!/usr/bin/env bash
# Makes the demo NTFS image (a few thousand entries, Chinese and English names) that `make run`
# shows. Usage: scripts/make-demo-image.sh OUT. Environment: BUILD (default build/native).
set -euo pipefail
exec "$(dirname "$0")/../tests/fixtures/make-fixture-image.sh" "$(dirname "$0")/../tests/fixtures/manifests/demo.manifest" "$@"
