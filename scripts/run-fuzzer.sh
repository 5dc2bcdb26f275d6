#!/usr/bin/env bash
# Fuzzes one target for a fixed time from its kept corpus. A crash input is copied into the kept
# corpus folder, so the replay test of every later build runs it as a regression test.
set -euo pipefail
fuzzer=$1 corpus=$2 work=$3 seconds=$4
mkdir -p "$work" "$work/artifacts"
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" "$work" "$corpus" || status=$?
if ((status != 0)); then
  for crash in "$work"/artifacts/*; do
    [[ -f "$crash" ]] && cp "$crash" "$corpus/regression-$(basename "$crash")" && echo "kept $crash in $corpus"
  done
fi
exit "$status"
