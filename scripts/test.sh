#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test:
# native (with the interop and format tests), AddressSanitizer+UBSan, a short fuzzing run, and the
# two Windows builds whose test programs and end-to-end tests run under Wine.
# Usage: scripts/test.sh [PRESET...]   (default: native asan fuzz mingw32 mingw64)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/prelude.sh
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror  # the house style (.clang-format)

presets=("$@")
((${#presets[@]})) || presets=(native asan fuzz mingw32 mingw64)
# The Windows builds need kvpack from the native build.
[[ " ${presets[*]} " == *" mingw"* && " ${presets[*]} " != *" native "* ]] && presets=(native "${presets[@]}")

failed=() skipped=() passed_total=0 failed_total=0 timings=()
# run_ctest PRESET LOG [CTEST ARGS...]: runs the preset's tests, adds them to the totals, and marks
# the preset failed when ctest fails or runs nothing.
# KV_CTEST_RUNNER, when set, is the command that runs ctest instead (the i686 guest's runner).
run_ctest() {
  local preset=$1 log=$2 status=0 summary
  shift 2
  local runner=(ctest --preset "$preset")
  [[ -n ${KV_CTEST_RUNNER:-} ]] && runner=($KV_CTEST_RUNNER)
  # Tests without a time limit of their own get one, so a hang fails the run instead of stalling it.
  "${runner[@]}" --timeout 600 --output-on-failure "$@" 2>&1 | tee "$log" || status=$?
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed_total=$((failed_total + BASH_REMATCH[1]))
    passed_total=$((passed_total + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  ((status == 0)) && grep -q 'tests passed' "$log" || failed+=("$preset")
}
run_started=$SECONDS
for preset in "${presets[@]}"; do
  stage_started=$SECONDS
  echo "=== $preset: configure and build ($(date +%T))"
  cmake --preset "$preset" >"build/$preset-configure.log" 2>&1 || { cat "build/$preset-configure.log"; exit 1; }
  cmake --build --preset "$preset" -j"$(nproc)"
  if [[ $preset == mingw32 && $KV_WINE32 == 0 ]]; then
    # This machine's kernel runs no 32-bit programs, so Wine cannot start the i686 programs here.
    # The checks that only read the programs' files run all the same.
    run_ctest "$preset" "build/$preset-files-ctest.log" -L files_only
    if [[ ${KV_I686_GUEST:-1} == 0 ]]; then
      echo "=== $preset: built; Wine tests NOT RUN: this machine cannot execute 32-bit programs"
      skipped+=("$preset")
    else
      # Their Wine tests run in an emulated machine whose kernel does (scripts/i686-guest); under
      # emulation they are slow, so a run tests the core (--core) and the rest is run by hand
      # (scripts/i686-guest/run-ctest.sh --rest).
      echo "=== $preset: Wine tests in the i686 guest ($(date +%T))"
      KV_CTEST_RUNNER="bash scripts/i686-guest/run-ctest.sh --core" \
        run_ctest "$preset" "build/$preset-guest-ctest.log"
    fi
    timings+=("$preset $((SECONDS - stage_started)) s")
    continue
  fi
  echo "=== $preset: test ($(date +%T))"
  run_ctest "$preset" "build/$preset-ctest.log" -j"$(nproc)"
  timings+=("$preset $((SECONDS - stage_started)) s")
done

echo
printf 'took: %s; all %d s\n' "$(IFS=,; echo "${timings[*]}")" $((SECONDS - run_started))
((${#skipped[@]})) && echo "Tests not run (no 32-bit programs on this machine): ${skipped[*]}"
if ((${#failed[@]})); then
  echo "FAILED in: ${failed[*]}"
  echo "$passed_total passed, $failed_total failed"
  exit 1
fi
echo "$passed_total passed, $failed_total failed"
