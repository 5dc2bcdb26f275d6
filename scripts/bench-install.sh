#!/usr/bin/env bash
# Install benchmark: about 50 MB of the benchmark corpus packed by kvpack into a real kvsetup.exe
# installer and installed under Wine with OptNP OptNL and quietly with OptQ (no window, a log in
# %TEMP%), against the same payload in an NSIS installer
# (makensis, zlib) installed silently (/S) in the same prefix. Prints wall time and MB/s of both, with
# the time Wine takes to start and end a trivial program as the baseline, after checking every byte;
# then the sizes of the programs and of a one-file installer beside NSIS (scripts/bench-size.sh).
# Usage: scripts/bench-install.sh   (KV_NATIVE_BUILD, default build/native: kvpack;
#                                    KV_MINGW_BUILD, default build/mingw32: kvsetup.exe, Kvuninstall.exe;
#                                    KV_BENCH_CORPUS, default build/bench-corpus;
#                                    KV_BENCH_INSTALL_MB: payload size, default 50;
#                                    KV_BENCH_RUNS: runs of each installer, the best counts, default 3;
#                                    KV_BENCH_MIN_KB: leave out smaller files, for fewer and larger ones;
#                                    KV_BENCH_KEEP=1 keeps both installers and the payload for profiling)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
native=${KV_NATIVE_BUILD:-$root/build/native}
source "$root/scripts/wine-loader.sh"
mingw_preset=mingw32
[[ ${KV_WINE32:-1} == 1 ]] || mingw_preset=mingw64  # no 32-bit programs on this machine
mingw=${KV_MINGW_BUILD:-$root/build/$mingw_preset}
corpus=${KV_BENCH_CORPUS:-$root/build/bench-corpus}
budget=$(( ${KV_BENCH_INSTALL_MB:-50} * 1000 * 1000 ))
runs=${KV_BENCH_RUNS:-3}
min_bytes=$(( ${KV_BENCH_MIN_KB:-0} * 1000 ))
export KV_WINEPREFIX=${KV_WINEPREFIX:-/tmp/kv-wine-bench-install-$(id -u)}

kvpack=$native/tools/kvpack/kvpack
stub=$mingw/app/kvsetup.exe
uninstaller=$(find "$mingw" -name Kvuninstall.exe -type f 2>/dev/null | head -1)
if [[ ! -x $kvpack ]]; then
  echo "=== building kvpack ($native)"
  cmake --preset native -B "$native" >/dev/null && cmake --build "$native" -j2 --target kvpack >/dev/null
fi
if [[ ! -f $stub || -z $uninstaller ]]; then
  echo "=== building the installer program ($mingw)"
  cmake --preset "$mingw_preset" -B "$mingw" -DKV_HOST_TOOLS_DIR="$native" >/dev/null
  cmake --build "$mingw" -j2 --target kvsetup Kvuninstall >/dev/null
  uninstaller=$(find "$mingw" -name Kvuninstall.exe -type f | head -1)
fi
[[ -f $stub ]] || stub=$(find "$mingw" -name kvsetup.exe -type f | head -1)
bash scripts/bench-corpus.sh "$corpus" >/dev/null
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" "$@"
fi
source scripts/wine-env.sh

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kv-bench-install-XXXXXX")
cleanup() {
  wineserver -k 2>/dev/null || true
  if [[ -n ${KV_BENCH_KEEP:-} ]]; then echo "kept: $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

# The payload: corpus files in name order within each kind, a share of each kind, until the budget
# is spent. Names stay as they are (one folder level, unique within it regardless of case).
payload=$scratch/payload
mkdir -p "$payload"
for kind in dll text man; do
  share=$((budget * 15 / 100))
  [[ $kind == dll ]] && share=$((budget * 70 / 100))
  mkdir "$payload/$kind"
  used=0
  while IFS= read -r -d '' f; do
    name=$(basename "$f")
    [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._+-]*$ ]] || continue
    [[ -e $payload/$kind/${name,,} || -e $payload/$kind/$name ]] && continue
    size=$(stat -c %s "$f")
    (( size >= min_bytes && used + size <= share )) || continue
    cp "$f" "$payload/$kind/$name"
    used=$((used + size))
  done < <(find "$corpus/$kind" -type f -print0 | sort -z)
done
files=$(find "$payload" -type f | wc -l)
bytes=$(find "$payload" -type f -printf '%s\n' | awk '{s+=$1} END {print s+0}')

echo "=== packing $files files, $bytes bytes"
{
  echo 'title = "Install benchmark"'
  echo 'displayName = "Korvalin Install Benchmark"'
  echo 'setupName = "SETUP.EXE"'
  echo "defaultFolder = 'C:\\KvBench\\ours'"
  echo 'runFile = ""'
  echo 'programsFolder = ""'
  echo 'archiveDate = "2026-12-01T12:00:00Z"'
  echo 'uninstallerDate = "2026-12-01T12:00:00Z"'
  while IFS= read -r -d '' f; do
    printf "\n[[file]]\nsource = '%s'\nfile = '%s'\nfolder = '%s'\n" "$f" "$(basename "$f")" "$(basename "$(dirname "$f")")"
  done < <(find "$payload" -type f -print0 | sort -z)
} >"$scratch/bench.toml"
"$kvpack" build "$scratch/bench.toml" -o "$scratch/ours.exe" --stub "$stub" --uninstaller "$uninstaller" -j2 -q

# NSIS: the same files into the same folders, zlib (makensis's default compressor), silent.
{
  echo 'Name "Install benchmark"'
  echo "OutFile \"$scratch/nsis.exe\""
  echo 'SetCompressor zlib'
  # Where Wine runs no 32-bit programs, NSIS's x86-64 stub (the same installer, built for x86-64).
  [[ ${KV_WINE32:-1} == 1 ]] || echo 'Target amd64-unicode'
  echo 'InstallDir "C:\KvBench\nsis"'
  echo 'SilentInstall silent'
  echo 'RequestExecutionLevel user'
  echo 'Section'
  for kind in dll text man; do
    echo "SetOutPath \"\$INSTDIR\\$kind\""
    find "$payload/$kind" -type f -print0 | sort -z | xargs -0 -n1 printf 'File "%s"\n'
  done
  echo 'SectionEnd'
} >"$scratch/nsis.nsi"
makensis -V1 "$scratch/nsis.nsi" >/dev/null

drive_c=$WINEPREFIX/drive_c
wineserver -p 2>/dev/null || true  # one server for every start below (or the one running already)
# Seconds between two moments, with millisecond resolution.
since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN {printf "%.3f", b - a}'; }
best() { tr ' ' '\n' | grep . | sort -g | head -1; }

baseline=""
for _ in $(seq "$runs"); do
  t0=$(date +%s.%N); wine cmd /c rem >/dev/null 2>&1; baseline+=" $(since "$t0")"
done

# Each installer is run from its own folder (the installer finds itself in the current directory)
# into a folder that does not exist yet.
run_installer() {  # NAME COMMAND...
  local name=$1 t0
  shift
  rm -rf "$drive_c/KvBench/$name"
  t0=$(date +%s.%N)
  (cd "$scratch" && wine "$@" >/dev/null 2>&1) || { echo "$name installer failed (exit $?)" >&2; return 1; }
  since "$t0"
}
verify() {  # NAME EXTRA-FILES-TO-IGNORE...
  local name=$1 extra=()
  shift
  for x in "$@"; do extra+=(-x "$x"); done
  if diff -rq "${extra[@]}" "$payload" "$drive_c/KvBench/$name" >"$scratch/$name.diff"; then
    echo "all $files files identical"
  else
    echo "MISMATCH: $(wc -l <"$scratch/$name.diff") differences, e.g. $(head -1 "$scratch/$name.diff")"
  fi
}
# The three kinds take turns, so a busy moment of the machine falls on all of them alike.
ours="" nsis="" quiet="" ours_check=""
for _ in $(seq "$runs"); do
  ours+=" $(run_installer ours ours.exe OptNP OptNL)"
  [[ -n $ours_check ]] || ours_check=$(verify ours SETUP.EXE Kvuninstall.dat)
  nsis+=" $(run_installer nsis nsis.exe /S '/D=C:\KvBench\nsis')"
  quiet+=" $(run_installer ours ours.exe OptQ)"
done
nsis_check=$(verify nsis)
quiet_check=$(verify ours SETUP.EXE Kvuninstall.dat)

wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvalin Install Benchmark' /f \
  >/dev/null 2>&1 || true
rm -rf "$drive_c/KvBench"

mbps() { awk -v b="$bytes" -v s="$1" 'BEGIN {printf "%.1f", b / s / 1e6}'; }
base=$(echo "$baseline" | best) o=$(echo "$ours" | best) n=$(echo "$nsis" | best) q=$(echo "$quiet" | best)
echo
echo "Install of $files files, $(awk -v b="$bytes" 'BEGIN {printf "%.1f", b / 1e6}') MB under Wine (wall clock,"
echo "best of $runs, each including one Wine program start; MB = 10^6 bytes)"
printf '%-44s %10s %8s %14s\n' "installer" "size MB" "s" "MB/s"
printf '%-44s %10s %8s %14s\n' "Wine start baseline (cmd /c rem)" "" "$base" ""
printf '%-44s %10.1f %8s %14s\n' "ours: kvsetup.exe OptNP OptNL" "$(awk -v b="$(stat -c %s "$scratch/ours.exe")" 'BEGIN {print b / 1e6}')" "$o" "$(mbps "$o")"
printf '%-44s %10s %8s %14s\n' "ours: kvsetup.exe OptQ (quiet)" "" "$q" "$(mbps "$q")"
printf '%-44s %10.1f %8s %14s\n' "NSIS $(makensis -VERSION 2>/dev/null), zlib, /S" "$(awk -v b="$(stat -c %s "$scratch/nsis.exe")" 'BEGIN {print b / 1e6}')" "$n" "$(mbps "$n")"
minus() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a - b}'; }
o_net=$(minus "$o" "$base") n_net=$(minus "$n" "$base") q_net=$(minus "$q" "$base")
printf '%-44s %10s %8s %14s\n' "ours without the baseline" "" "$o_net" "$(mbps "$o_net")"
printf '%-44s %10s %8s %14s\n' "ours quiet without the baseline" "" "$q_net" "$(mbps "$q_net")"
printf '%-44s %10s %8s %14s\n' "NSIS without the baseline" "" "$n_net" "$(mbps "$n_net")"
echo "all runs: ours$ours; quiet$quiet; NSIS$nsis; baseline$baseline"
echo "bytes: ours $ours_check; quiet $quiet_check; NSIS $nsis_check"
echo "target: ours no slower than NSIS: $(awk -v a="$o" -v b="$n" 'BEGIN {print (a <= b) ? "met" : "MISSED"}')"
echo "target: quiet (OptQ) no slower than NSIS /S: $(awk -v a="$q" -v b="$n" 'BEGIN {print (a <= b) ? "met" : "MISSED"}')"
echo
KV_NATIVE_BUILD=$native bash scripts/bench-size.sh
