#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's test prefix, on a virtual display when none is set.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so `ctest` in a MinGW build runs Windows test programs here.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec wine "$@"
