#!/usr/bin/env bash
# Benchmarks the SZDD codec and the checksum over the benchmark corpus and prints them side by side
# with Debian's mscompress/msexpand and libmspack, then times `kvpack build` over the whole corpus.
# Usage: scripts/bench.sh   (KV_BENCH_BUILD: build folder, default build/bench;
#                            KV_BENCH_CORPUS: corpus folder, default build/bench-corpus;
#                            KVPACK: kvpack to time, default build/native/tools/kvpack/kvpack)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KV_BENCH_BUILD:-$root/build/bench}
corpus=${KV_BENCH_CORPUS:-$root/build/bench-corpus}
kvpack=${KVPACK:-$root/build/native/tools/kvpack/kvpack}

if [[ $(id -u) -eq 0 ]]; then bash scripts/setup.sh >/dev/null; fi
echo "=== building the benchmark program ($build)"
cmake --preset native -B "$build" >"$root/build/bench-configure.log" 2>&1 || { cat "$root/build/bench-configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" --target szdd_corpus_bench >/dev/null
echo "=== corpus"
bash scripts/bench-corpus.sh "$corpus"

scratch=$(mktemp -d /dev/shm/kv-bench-XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# CPU seconds (user + system) of a command and its children: steadier than the wall clock on a
# machine that other work shares; the benchmark program measures itself the same way.
cpu_seconds() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true  # a tool that complains about one file still counts
  awk -v t="$t" 'BEGIN {split(t, a, " "); print a[1] + a[2]}'
}
mb() { awk -v b="$1" 'BEGIN {printf "%.1f", b / 1e6}'; }
total_size() { find "$1" -type f "${@:2}" -printf '%s\n' | awk '{s+=$1} END {print s+0}'; }

# The checksum is timed over one file of the whole corpus, read from the page cache.
find "$corpus" -type f ! -name '.*' -print0 | sort -z | xargs -0 cat >"$scratch/checksum.bin"

echo "=== ours (in memory)"
"$build/tests/bench/szdd_corpus_bench" "$corpus" "$scratch/checksum.bin" >"$scratch/ours.txt"
declare -A r
while IFS='=' read -r key value; do r[$key]=$value; done <"$scratch/ours.txt"

echo "=== mscompress and msexpand (files on $(df --output=fstype "$scratch" | tail -1), one process per 200 files)"
mkdir "$scratch/ms"
cp -r "$corpus/." "$scratch/ms" && find "$scratch/ms" -name '.*' -type f -delete
ms_seconds=$(cd "$scratch/ms" && cpu_seconds bash -c 'find . -type f -print0 | xargs -0 -n 200 mscompress')
ms_bytes=$(total_size "$scratch/ms" -name '*_')
find "$scratch/ms" -type f ! -name '*_' -delete
msx_seconds=$(cd "$scratch/ms" && cpu_seconds bash -c "find . -type f -name '*_' -print0 | xargs -0 -n 200 msexpand")

kv_seconds="" kv_size=""
if [[ -x $kvpack ]]; then
  echo "=== kvpack build over the whole corpus"
  project="$scratch/bench.toml"
  stub=$(find "$corpus/dll" -type f | sort | head -1)
  {
    echo 'title = "Benchmark corpus"'
    echo 'displayName = "Benchmark corpus"'
    echo 'setupName = "SETUP.EXE"'
    echo "defaultFolder = 'C:\\Bench'"
    echo 'runFile = ""'
    echo 'programsFolder = "Bench"'
    echo 'archiveDate = "2026-12-01T12:00:00Z"'
    echo 'uninstallerDate = "2026-12-01T12:00:00Z"'
    echo "stub = '$stub'"
    echo "uninstaller = '$stub'"
    echo 'compression = "best"'
    n=0
    while IFS= read -r -d '' f; do
      [[ $f == *"'"* ]] && continue
      n=$((n + 1))
      kind=$(basename "$(dirname "$f")")
      printf "\n[[file]]\nsource = '%s'\nfile = 'F%05d.BIN'\nfolder = '%s'\n" "$f" "$n" "$kind"
    done < <(find "$corpus" -type f ! -name '.*' -print0 | sort -z)
  } >"$project"
  start=$(date +%s.%N)
  if "$kvpack" build "$project" -o "$scratch/setup.exe" >"$scratch/kvpack.log" 2>&1; then
    kv_seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}')
    kv_size=$(stat -c %s "$scratch/setup.exe")
  else
    echo "kvpack build failed:"; tail -5 "$scratch/kvpack.log"
  fi
fi

total=${r[corpus_bytes]}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
saving() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%+.1f%%", (a / b - 1) * 100}'; }
ms_mbps=$(awk -v b="$total" -v s="$ms_seconds" 'BEGIN {printf "%.1f", b / s / 1e6}')
msx_mbps=$(awk -v b="$total" -v s="$msx_seconds" 'BEGIN {printf "%.1f", b / s / 1e6}')
verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v >= t) ? "met" : "MISSED"}'; }

echo
echo "SZDD over ${r[corpus_files]} files, $(mb "$total") MB (MB = 10^6 bytes; MB/s per CPU second;"
echo "ours in memory, mscompress/msexpand on files; kvpack build in wall-clock seconds)"
printf '%-40s %12s %10s %9s %14s\n' "compressor" "total bytes" "vs mscomp" "MB/s" "speed vs mscomp"
printf '%-40s %12s %10s %9s %14s\n' "mscompress" "$ms_bytes" "" "$ms_mbps" ""
for level in fast best; do
  bytes=${r[compress_${level}_bytes]} arch=${r[compress_${level}_archive_bytes]} mbps=${r[compress_${level}_mbps]}
  printf '%-40s %12s %10s %9s %13sx\n' "ours, $level level (every file SZDD)" "$bytes" "$(saving "$bytes" "$ms_bytes")" "$mbps" "$(ratio "$mbps" "$ms_mbps")"
  printf '%-40s %12s %10s\n' "ours, $level level (archive form)" "$arch" "$(saving "$arch" "$ms_bytes")"
done
printf '%-40s %12s\n' "expander" "MB/s out"
printf '%-40s %12s\n' "msexpand (files)" "$msx_mbps"
printf '%-40s %12s\n' "libmspack in memory (mspack_system)" "${r[mspack_expand_mbps]}"
printf '%-40s %12s %10sx vs libmspack\n' "ours in memory" "${r[expand_mbps]}" "$(ratio "${r[expand_mbps]}" "${r[mspack_expand_mbps]}")"
printf '%-40s %12s\n' "checksum over one $(mb "${r[checksum_file_bytes]}") MB file" "GB/s"
printf '%-40s %12s\n' "plain sequential read (1 MiB reads)" "${r[read_gbps]}"
printf '%-40s %12s %9s%% of read\n' "checksum pass over the open file" "${r[checksum_gbps]}" "$(awk -v a="${r[checksum_gbps]}" -v b="${r[read_gbps]}" 'BEGIN {printf "%.0f", a / b * 100}')"
if [[ -n $kv_seconds ]]; then
  printf '%-40s %12s s wall (%s MB installer)\n' "kvpack build, whole corpus, best" "$kv_seconds" "$(mb "$kv_size")"
else
  printf '%-40s %12s\n' "kvpack build" "skipped ($kvpack not built)"
fi
[[ ${r[expand_mismatches]} == 0 ]] || echo "WARNING: ${r[expand_mismatches]} files did not expand back exactly"

echo
echo "targets:"
best_saving=$(awk -v a="${r[compress_best_archive_bytes]}" -v b="$ms_bytes" 'BEGIN {print (1 - a / b) * 100}')
echo "  archive form at best level >= 4% smaller than mscompress: $(printf '%.1f' "$best_saving")% ($(verdict "$best_saving" 4))"
echo "  best level >= 3x mscompress speed: $(ratio "${r[compress_best_mbps]}" "$ms_mbps")x ($(verdict "$(ratio "${r[compress_best_mbps]}" "$ms_mbps")" 3))"
echo "  fast level >= 10x mscompress speed: $(ratio "${r[compress_fast_mbps]}" "$ms_mbps")x ($(verdict "$(ratio "${r[compress_fast_mbps]}" "$ms_mbps")" 10))"
echo "  expansion >= 2x libmspack in memory: $(ratio "${r[expand_mbps]}" "${r[mspack_expand_mbps]}")x ($(verdict "$(ratio "${r[expand_mbps]}" "${r[mspack_expand_mbps]}")" 2))"
chk=$(awk -v a="${r[checksum_gbps]}" -v b="${r[read_gbps]}" 'BEGIN {print a / b * 100}')
echo "  checksum >= 80% of plain read: $(printf '%.0f' "$chk")% ($(verdict "$chk" 80))"
