#!/usr/bin/env bash
# The whole life of a product on a fresh Debian machine: installs the packages, builds kvpack
# (native) and the Windows programs (mingw64), packs examples/demo into build/demo/SETUP.EXE,
# installs it under Wine without a click into a fresh prefix, prints what it placed (files, INI
# lines, registry values, shortcuts, the uninstall data file), takes screenshots of the main dialog
# and the licence agreement from a second, interactive run (declined, so it changes nothing) and of
# the uninstaller's question (answered No), then removes the product quietly with the registered
# uninstall command and shows that everything is gone.
# Usage: bash scripts/demo.sh      Output: the report on stdout, screenshots in build/demo/*.png
# KV_DEMO_NATIVE, KV_DEMO_MINGW and KV_DEMO_OUT choose other folders (build/native, build/mingw64, build/demo).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/prelude.sh
source scripts/wine-env.sh

jobs=$(nproc)
out=${KV_DEMO_OUT:-build/demo}
product="Korvalin Demo"
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
main_caption="Korvalin Demo 1.0 Setup"  # the demo project's own caption
license_caption="License Agreement"

step() { printf '\n=== %s\n' "$*"; }
winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
# The prefix's file for a C: path.
unixpath() { local p=${1#[Cc]:\\}; printf '%s/drive_c/%s' "$WINEPREFIX" "${p//\\//}"; }
reg_value() {  # KEY VALUE -> the value's data, nothing when missing
  wine reg query "$1" /v "$2" "$view" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
running() { grep -qsi "$1" /proc/[0-9]*/cmdline; }
# Runs the UI driver; a line "== !shot NAME" takes a screenshot build/demo/NAME.png meanwhile.
drive() {
  wine "$uidriver" "$@" | while IFS= read -r line; do
    line=${line%$'\r'}  # (a filter such as tr would hold the lines back in its buffer)
    if [[ $line == "== !shot "* ]]; then
      import -window root "$out/${line#== !shot }.png" && echo "screenshot: $out/${line#== !shot }.png"
    else
      echo "  $line"
    fi
  done
}

native=${KV_DEMO_NATIVE:-build/native}
# The x86-64 build is the default product (see the README); KV_DEMO_PRESET=mingw32 packs the i686 one.
mingw_preset=${KV_DEMO_PRESET:-mingw64}
mingw=${KV_DEMO_MINGW:-build/$mingw_preset}
# The registry view the programs write: `wine reg` may be the 32-bit one, which alone sees the other.
view=/reg:64
[[ $mingw_preset == mingw32 ]] && view=/reg:32
step "Build: kvpack ($native) and the installer, uninstaller, demo program and UI driver ($mingw)"
cmake --preset native -B "$native" >"$native-configure.log" 2>&1 || { cat "$native-configure.log"; exit 1; }
cmake --build "$native" -j"$jobs" --target kvpack
cmake --preset "$mingw_preset" -B "$mingw" >"$mingw-configure.log" 2>&1 || { cat "$mingw-configure.log"; exit 1; }
cmake --build "$mingw" -j"$jobs" --target kvsetup Kvuninstall kvdemo uidriver
kvpack=$native/tools/kvpack/kvpack
uidriver=$mingw/tests/uidriver/uidriver.exe

step "Pack examples/demo/kvdemo.toml into $out/SETUP.EXE"
rm -rf "$out" && mkdir -p "$out"
project=examples/demo/kvdemo.toml
if [[ $mingw != build/mingw64 ]]; then
  # The project names the programs in build/mingw64; a copy names them in the chosen build.
  sed -e "s#\.\./\.\./build/mingw64/#$root/$mingw/#g" \
      -e "s#^\(source\|icon\) = \"\([^/\"]*\)\"#\1 = \"$root/examples/demo/\2\"#" "$project" >"$out/kvdemo.toml"
  project=$out/kvdemo.toml
fi
"$kvpack" build "$project" -o "$out/SETUP.EXE"
"$kvpack" verify "$out/SETUP.EXE"
"$kvpack" list "$out/SETUP.EXE"

step "Install without a click: SETUP.EXE OptNP OptNL OptRE (Wine prefix $WINEPREFIX)"
# Without a window manager Wine draws the captions itself, so the screenshots show the titles.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
status=0
(cd "$out" && wine SETUP.EXE "OptNP OptNL OptRE") || status=$?
echo "installer exit code: $status"
((status == 0)) || exit 1
# OptRE started the installed program; show it, then close it so that nothing holds its file.
for _ in $(seq 50); do running KVDEMO.EXE && break; sleep 0.2; done
sleep 2
import -window root "$out/kvdemo-running.png" && echo "screenshot: $out/kvdemo-running.png"
# The 64-bit taskkill: where the 32-bit loader is installed, `wine` starts a 32-bit one, which cannot
# see the x86-64 program.
taskkill=(wine taskkill)
[[ -x /usr/lib/wine/wine64 ]] && taskkill=(env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 taskkill)
"${taskkill[@]}" /IM KVDEMO.EXE >/dev/null 2>&1 || true
for _ in $(seq 50); do running KVDEMO.EXE || break; sleep 0.2; done
running KVDEMO.EXE && { echo "KVDEMO.EXE did not close"; exit 1; }

uninstall_command=$(reg_value "$key" UninstallString)
folder=${uninstall_command#* }
folder=${folder#\"}
folder=${folder%%|*}
dir=$(unixpath "$folder")
desktop=$(ls -d "$WINEPREFIX"/drive_c/users/*/Desktop | grep -v -i public | head -1)
programs="$(dirname "$desktop")/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"

step "Placed files (bytes, path)"
find "$dir" -type f -printf '%10s  %p\n' | sort -k2
find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname Kvuninstall.exe -printf '%10s  %p\n'

step "INI settings: C:\\windows\\kvdemo.ini"
tr -d '\r' <"$WINEPREFIX/drive_c/windows/kvdemo.ini"

step "Registry: $key"
wine reg query "$key" "$view" | tr -d '\r' | grep -v '^$'

step "Shortcuts (lnkinfo)"
links=()
while IFS= read -r -d '' link; do links+=("$link"); done < <(
  find "$desktop" "$programs/$product" -maxdepth 1 -name '*.lnk' -print0 2>/dev/null)
for link in "${links[@]}"; do
  echo "${link#"$WINEPREFIX"/}"
  lnkinfo "$link" | grep -E 'Local path|Working directory|Command line arguments|Description' | sed 's/^\t*/    /'
done

step "Uninstall data file: kvpack log"
"$kvpack" log "$dir/Kvuninstall.dat"

step "The installer once more, by hand: main dialog, Install Now, licence agreement, I Do Not Accept"
# The folder and the settings exist already and the licence is declined: nothing changes.
drive start "\"$(winpath "$out/SETUP.EXE")\"" --cwd "$(winpath "$out")" \
  wait "$main_caption" sleep 1000 echo "!shot main-dialog" sleep 1500 press "Install Now" \
  wait "$license_caption" --timeout 30 sleep 1000 echo "!shot license-dialog" sleep 1500 \
  press "I Do Not Accept" exitcode --timeout 30

step "The registered uninstall command by hand: its question, answered No (nothing changes)"
drive start "$uninstall_command" wait "Korvalin Uninstaller" sleep 1000 echo "!shot uninstall-question" sleep 1500 \
  dump press No exitcode

step "Uninstall quietly with the registered command: $uninstall_command /S"
drive start "$uninstall_command /S" exitcode --timeout 120

step "What is left"
gone=0
check() {  # DESCRIPTION TEST...
  local what=$1
  shift
  if "$@"; then echo "  gone: $what"; else echo "  STILL THERE: $what"; gone=1; fi
}
absent() { [[ ! -e $1 ]]; }
check "installation folder $folder" absent "$dir"
for link in "${links[@]}"; do check "shortcut ${link#"$WINEPREFIX"/}" absent "$link"; done
check "Programs-menu folder $product" absent "$programs/$product"
check "registry key $key" test -z "$(reg_value "$key" UninstallString)"
echo "  kept: C:\\windows\\Kvuninstall.exe (shared by every product) and kvdemo.ini (settings stay)"
if ((gone != 0)); then
  echo "demo: the uninstaller left something behind"
  exit 1
fi
echo
echo "demo: installed, inspected and removed $product; screenshots in $out/"
