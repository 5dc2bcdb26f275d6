#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's test prefix, on a virtual display when none is set.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so `ctest` in a MinGW build runs Windows test programs here.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
# A program may start one of Wine's background processes (the desktop, a service), which lives on
# holding the program's output; whoever reads that pipe, ctest included, would wait for it to close.
# The output goes to files instead and is copied out once the program has ended.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
run=(wine "$@")
[[ -n "${DISPLAY:-}" ]] || run=(xvfb-run -a -s "-screen 0 1024x768x24" wine "$@")
status=0
"${run[@]}" </dev/null >"$out" 2>"$err" || status=$?
cat "$err" >&2
cat "$out"
exit "$status"
