#!/usr/bin/env bash
# Size benchmark: the shipped programs kvsetup.exe and Kvuninstall.exe of the MinGW builds against
# their goals (i686), with their debug files, and the installer of one small job (one file, one
# Desktop shortcut, an uninstaller) made by kvpack and by NSIS's makensis (zlib, its default).
# Usage: scripts/bench-size.sh   (KV_NATIVE_BUILD, default build/native: kvpack;
#                                 KV_MINGW_BUILDS, default "build/mingw32 build/mingw64": those built)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=${KV_NATIVE_BUILD:-$root/build/native}
builds=${KV_MINGW_BUILDS:-$root/build/mingw32 $root/build/mingw64}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-bench-size-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

kib() { awk -v b="$1" 'BEGIN {printf "%.1f", b / 1024}'; }
row() { printf '%-44s %10s %9s %12s\n' "$@"; }

echo "Program sizes (KiB = 1024 bytes; goals for the i686 build)"
row "program" "bytes" "KiB" "goal"
stub="" uninstaller=""
for build in $builds; do
  [[ -f $build/app/kvsetup.exe ]] || continue
  arch=$(basename "$build")
  for entry in app/kvsetup.exe:200 uninstall/Kvuninstall.exe:150; do
    file=$build/${entry%:*} goal=${entry#*:}
    [[ -f $file ]] || continue
    size=$(stat -c %s "$file") verdict=""
    if [[ $arch == mingw32 ]]; then
      verdict="<= $goal $(awk -v s="$size" -v g="$goal" 'BEGIN {print (s <= g * 1024) ? "met" : "MISSED"}')"
    fi
    row "$(basename "$file") ($arch)" "$size" "$(kib "$size")" "$verdict"
    [[ -f $file.debug ]] && row "  debug information: $(basename "$file").debug" "$(stat -c %s "$file.debug")" "" ""
    # What each part costs, from the linker map (i686 only, to keep this short).
    if [[ $arch == mingw32 && -f $file.map ]]; then
      echo "  code and data by part (bytes, before alignment):"
      python3 "$root/scripts/map-sizes.py" "$file.map" 8
    fi
  done
  [[ -n $stub ]] || { stub=$build/app/kvsetup.exe; uninstaller=$build/uninstall/Kvuninstall.exe; }
done
[[ -n $stub ]] || { echo "no MinGW build with kvsetup.exe found in: $builds"; exit 1; }

# The job: one 1 KB text file, a Desktop shortcut to it, an uninstaller.
head -c 1024 "$root/README.md" >"$scratch/readme.txt"
cat >"$scratch/job.toml" <<TOML
title = "Size benchmark"
displayName = "Korvalin Size Benchmark"
setupName = "SETUP.EXE"
defaultFolder = 'C:\\KvSize'
archiveDate = "2026-12-01T12:00:00Z"
uninstallerDate = "2026-12-01T12:00:00Z"

[[file]]
source = "readme.txt"
file = "README.TXT"
desktopIcon = true
iconName = "Read Me"
TOML
cat >"$scratch/job.nsi" <<NSI
Name "Size benchmark"
OutFile "$scratch/nsis.exe"
SetCompressor zlib
InstallDir "C:\\KvSize"
RequestExecutionLevel admin
Section
  SetOutPath "\$INSTDIR"
  File "$scratch/readme.txt"
  CreateShortCut "\$DESKTOP\\Read Me.lnk" "\$INSTDIR\\readme.txt"
  WriteUninstaller "\$INSTDIR\\uninstall.exe"
SectionEnd
Section "Uninstall"
  Delete "\$DESKTOP\\Read Me.lnk"
  Delete "\$INSTDIR\\readme.txt"
  Delete "\$INSTDIR\\uninstall.exe"
  RMDir "\$INSTDIR"
SectionEnd
NSI
makensis -V1 "$scratch/job.nsi" >/dev/null

echo
echo "One file, one shortcut, an uninstaller: the whole installer"
row "installer" "bytes" "KiB" ""
kvpack=$native/tools/kvpack/kvpack
if [[ -x $kvpack ]]; then
  "$kvpack" build "$scratch/job.toml" -o "$scratch/ours.exe" --stub "$stub" --uninstaller "$uninstaller" -q
  row "ours: kvpack, $(basename "$(dirname "$(dirname "$stub")")") programs" "$(stat -c %s "$scratch/ours.exe")" "$(kib "$(stat -c %s "$scratch/ours.exe")")" ""
else
  echo "ours: kvpack skipped ($kvpack not built)"
fi
row "NSIS $(makensis -VERSION 2>/dev/null), zlib" "$(stat -c %s "$scratch/nsis.exe")" "$(kib "$(stat -c %s "$scratch/nsis.exe")")" ""
