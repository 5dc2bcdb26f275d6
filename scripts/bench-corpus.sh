#!/usr/bin/env bash
# Builds the benchmark corpus (about 60 MB) from files every machine with the project's packages
# has: Wine's Windows DLLs without debug info, licence texts, and man pages (already gz-compressed).
# Usage: scripts/bench-corpus.sh [DIR]   (default build/bench-corpus); prints the composition.
# A corpus that was completed before is kept as it is (delete the folder to build it anew).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/bench-corpus}

print_composition() {
  printf '%-28s %7s %9s\n' kind files MB
  local kind count bytes label
  for kind in dll text man; do
    count=$(find "$out/$kind" -type f | wc -l)
    bytes=$(find "$out/$kind" -type f -printf '%s\n' | awk '{s+=$1} END {print s+0}')
    case $kind in
      dll) label="Windows DLLs (stripped)" ;;
      text) label="licence texts" ;;
      man) label="man pages (already gz)" ;;
    esac
    printf '%-28s %7d %9.1f\n' "$label" "$count" "$(awk -v b="$bytes" 'BEGIN {print b / 1e6}')"
  done
  count=$(find "$out" -type f ! -name .complete | wc -l)
  bytes=$(find "$out" -type f ! -name .complete -printf '%s\n' | awk '{s+=$1} END {print s+0}')
  printf '%-28s %7d %9.1f\n' total "$count" "$(awk -v b="$bytes" 'BEGIN {print b / 1e6}')"
  echo "corpus: $out"
}

if [[ -f $out/.complete ]]; then
  print_composition
  exit 0
fi
dll_budget=$((36 * 1024 * 1024))
man_budget=$((6 * 1024 * 1024))

rm -rf "$out"
mkdir -p "$out/dll" "$out/text" "$out/man"

# DLLs in name order until the budget is spent; Debian ships them with debug info, which is removed
# so the corpus looks like the programs an installer carries.
total=0
for arch in i386-windows x86_64-windows; do
  dir=/usr/lib/x86_64-linux-gnu/wine/$arch
  [[ -d $dir ]] || continue
  strip=x86_64-w64-mingw32-strip
  [[ $arch == i386-windows ]] && strip=i686-w64-mingw32-strip
  for dll in "$dir"/*.dll; do
    ((total < dll_budget)) || break
    target="$out/dll/${arch%%-*}-$(basename "$dll")"
    if ! "$strip" --strip-debug -o "$target" "$dll" 2>/dev/null; then cp "$dll" "$target"; fi
    total=$((total + $(stat -c %s "$target")))
  done
done

# Licence texts: the common licences and every package's copyright file.
for f in /usr/share/common-licenses/*; do
  [[ -f $f ]] && cp "$f" "$out/text/license-$(basename "$f")"
done
for f in /usr/share/doc/*/copyright; do
  [[ -f $f ]] || continue
  pkg=$(basename "$(dirname "$f")")
  cp "$f" "$out/text/copyright-$pkg"
done

# Man pages, which are gz files already: the already-compressed part of an installer's payload.
total=0
while IFS= read -r f; do
  ((total < man_budget)) || break
  cp "$f" "$out/man/$(echo "${f#/usr/share/man/}" | tr / _)"
  total=$((total + $(stat -c %s "$f")))
done < <(find /usr/share/man/man1 /usr/share/man/man3 /usr/share/man/man5 /usr/share/man/man8 -name '*.gz' -type f 2>/dev/null | sort)

touch "$out/.complete"
print_composition
