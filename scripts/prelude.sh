# Sourced by the top-level scripts: installs the packages, then gives the run one Wine prefix and one
# virtual display, both removed when the run ends.
if [[ $(id -u) -eq 0 ]]; then bash scripts/setup.sh; else sudo bash scripts/setup.sh; fi
mkdir -p build
source scripts/wine-loader.sh
export KV_WINEPREFIX=${KV_WINEPREFIX:-$(mktemp -d /tmp/kv-run-XXXXXX)/prefix}
if [[ -z "${DISPLAY:-}" ]]; then
  for n in $(seq 90 120); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  kv_xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
fi
kv_cleanup() {
  WINEPREFIX=$KV_WINEPREFIX wineserver -k 2>/dev/null || true
  [[ -n "${kv_xvfb_pid:-}" ]] && kill "$kv_xvfb_pid" 2>/dev/null || true
}
trap kv_cleanup EXIT
# Keep one wineserver for the whole run instead of one per Windows program, and start Wine's
# background services now, detached from every output. Started by a test program instead, they would
# inherit its output pipe and keep it open for the rest of the run, so ctest would wait for that
# test forever.
(source scripts/wine-env.sh && wineserver -p && wine cmd /c exit) </dev/null >/dev/null 2>&1 || true
