#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test:
# native (with the interop and format tests), AddressSanitizer+UBSan, a short fuzzing run, and the
# two Windows builds whose test programs and end-to-end tests run under Wine.
# Usage: scripts/test.sh [PRESET...]   (default: native asan fuzz mingw32 mingw64)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/prelude.sh

presets=("$@")
((${#presets[@]})) || presets=(native asan fuzz mingw32 mingw64)
# The Windows builds need kvpack from the native build.
[[ " ${presets[*]} " == *" mingw"* && " ${presets[*]} " != *" native "* ]] && presets=(native "${presets[@]}")

failed=() passed_total=0 failed_total=0
for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >"build/$preset-configure.log" 2>&1 || { cat "build/$preset-configure.log"; exit 1; }
  cmake --build --preset "$preset" -j"$(nproc)"
  echo "=== $preset: test"
  log="build/$preset-ctest.log"
  status=0
  ctest --preset "$preset" -j"$(nproc)" 2>&1 | tee "$log" || status=$?
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed_total=$((failed_total + BASH_REMATCH[1]))
    passed_total=$((passed_total + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  ((status == 0)) && grep -q 'tests passed' "$log" || failed+=("$preset")
done

echo
if ((${#failed[@]})); then
  echo "FAILED in: ${failed[*]}"
  echo "$passed_total passed, $failed_total failed"
  exit 1
fi
echo "$passed_total passed, $failed_total failed"
