# Job of the image's first boot: creates the Wine prefix the tests use (/root/kv-prefix) with the
# project's own set-up (scripts/wine-env.sh: crash dialog off, unmanaged windows, real Desktop and
# Documents folders, the ready marker), so no test boot spends minutes making one.
set -eu
project=$(cat /job/project-path)
export KV_WINEPREFIX=/root/kv-prefix
Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:99
started=$(cut -d' ' -f1 /proc/uptime)
source "$project/scripts/wine-env.sh"
wineserver -w
test -f "$WINEPREFIX/.kv-ready-2"
echo "prefix $WINEPREFIX ($WINEARCH) made in $(cut -d' ' -f1 /proc/uptime) - $started s"
