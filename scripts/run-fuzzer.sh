#!/usr/bin/env bash
# Fuzzes one target for a fixed time from its kept corpus. A crash input is copied into the kept
# corpus folder, so the replay test of every later build runs it as a regression test.
set -euo pipefail
fuzzer=$1 work=$2 seconds=$3 corpus=$4
shift 3  # the corpus folders; the first keeps the crash inputs
mkdir -p "$work" "$work/artifacts" "$corpus"
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" "$work" "$@" || status=$?
if ((status != 0)); then
  for crash in "$work"/artifacts/*; do
    [[ -f "$crash" ]] && cp "$crash" "$corpus/regression-$(basename "$crash")" && echo "kept $crash in $corpus"
  done
fi
exit "$status"
