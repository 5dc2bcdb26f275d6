#!/usr/bin/env bash
# Runs tests of build/mingw32 in the i686 guest, for machines that cannot execute 32-bit programs:
# boots the guest image (made or found by build-image.sh) without changing it, with the project
# folder mounted at its own path, and runs `ctest ARGS...` there on a virtual display in the
# image's prepared Wine prefix. Prints ctest's output; exits with ctest's status, or 125 when the
# guest gave no result. The build must be there already (cmake --build --preset mingw32).
# Usage: run-ctest.sh [--core | --rest] [CTEST-ARGS...]   e.g. run-ctest.sh -R '^uninstall_e2e$'
#   --core: the tests named in core-tests.txt; --rest: every other test the guest can run. Neither
#   runs the checks that only read files (label files_only, run on the host) or cpack_example_e2e,
#   which compiles with the MinGW compilers that the guest does not have.
# KV_I686_BOOT_LIMIT: seconds the whole boot may take (default 3600). KV_I686_IMAGE: an image
# folder to boot instead of the one build-image.sh makes. KV_I686_TIME_SCALE: how many times the
# tests' own time limits are stretched in the guest (default 3).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
[[ -f $root/build/mingw32/CTestTestfile.cmake ]] || { echo "run-ctest: build/mingw32 is not built" >&2; exit 2; }

core="^($(grep -v '^#' "$here/core-tests.txt" | grep . | paste -sd'|' -))\$"
case ${1:-} in
  --core) shift; set -- -R "$core" -LE files_only "$@" ;;
  --rest) shift; set -- -E "$core|^cpack_example_e2e\$" -LE files_only "$@" ;;
esac

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
image=${KV_I686_IMAGE:-$("${sudo[@]}" bash "$here/build-image.sh" | tail -1)}

job=$(mktemp -d "${TMPDIR:-/tmp}/kv-i686-job-XXXXXX")
trap 'rm -rf "$job"' EXIT
{
  echo 'project=$(cat /job/project-path)'
  echo 'export KV_WINEPREFIX=/root/kv-prefix DISPLAY=:99'
  echo 'Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &'
  echo 'for _ in $(seq 100); do [ -e /tmp/.X11-unix/X99 ] && break; sleep 0.1; done'
  # One wineserver for the whole boot, its services started before the first test (as prelude.sh does).
  echo '(source "$project/scripts/wine-env.sh" && wineserver -p && wine cmd /c exit) </dev/null >/dev/null 2>&1'
  echo 'echo "guest: Wine ready after $(cut -d" " -f1 /proc/uptime) s"'
  # The build names the host's Python; the guest's stands in where that is another path.
  python=$(sed -n 's/^_*Python3_EXECUTABLE:[A-Z]*=//p' "$root/build/mingw32/CMakeCache.txt" | head -1)
  [[ -n $python ]] && printf '[ -x %q ] || { mkdir -p %q; ln -sf /usr/bin/python3 %q; }\n' \
    "$python" "$(dirname "$python")" "$python"
  # Emulated, Wine is about ten times slower: the tests' own time limits are stretched in the guest.
  echo "bash \"\$project/scripts/i686-guest/stretch-time-limits.sh\" \"\$project/build/mingw32\" ${KV_I686_TIME_SCALE:-3}"
  echo 'cd "$project/build/mingw32"'
  printf 'ctest --output-junit /job/results.xml'
  printf ' %q' "$@"
  echo
}>"$job/job.sh"

started=$SECONDS
status=0
"$here/boot.sh" "$image" "$job" -snapshot >"$job/console.log" 2>&1 || status=$?
cat "$job/job.log" 2>/dev/null || true
if ((status == 125)); then
  echo "run-ctest: the guest gave no result; its console:" >&2
  tail -n 40 "$job/console.log" >&2
fi
echo "run-ctest: guest boot took $((SECONDS - started)) s"
exit "$status"
