# Sourced by the top-level scripts: installs the packages, then gives the run one Wine prefix and one
# virtual display, both removed when the run ends.
if [[ $(id -u) -eq 0 ]]; then bash scripts/setup.sh; else sudo bash scripts/setup.sh; fi
mkdir -p build
source scripts/wine-loader.sh
if [[ -z "${KV_WINEPREFIX:-}" ]]; then
  kv_own_prefix=$(mktemp -d /tmp/kv-run-XXXXXX)
  export KV_WINEPREFIX=$kv_own_prefix/prefix
fi
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
  # A prefix made for this run goes with it (over a gigabyte each, in a /tmp that parallel runs
  # share); one the caller named in KV_WINEPREFIX stays. The server is waited for first, so that
  # nothing writes into the prefix while it is removed.
  if [[ -n "${kv_own_prefix:-}" ]]; then
    WINEPREFIX=$KV_WINEPREFIX wineserver -w 2>/dev/null || true
    rm -rf "$kv_own_prefix"
  fi
}
trap kv_cleanup EXIT
# Keep one wineserver for the whole run instead of one per Windows program, and start Wine's
# background services now, detached from every output. Started by a test program instead, they would
# inherit its output pipe and keep it open for the rest of the run, so ctest would wait for that
# test forever.
(source scripts/wine-env.sh && wineserver -p && wine cmd /c exit) </dev/null >/dev/null 2>&1 || true
