#!/bin/bash
# Runs the JPEG fuzzer for a bounded time: fuzz_run.sh [FUZZ_BUILD_DIR] [SECONDS]
# New inputs go to FUZZ_BUILD_DIR/jpeg-corpus; the committed seeds and the crasher corpus are read only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${2:-${FUZZ_SECONDS:-60}}
corpus=$build/jpeg-corpus
mkdir -p "$corpus" "$build/jpeg-artifacts"
exec "$build/bin/fuzz_jpeg" "$corpus" "$here/corpus" "$root/../shared/corpora/jpeg-crashers" \
  -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -max_len=65536 \
  -artifact_prefix="$build/jpeg-artifacts/" -print_final_stats=1
