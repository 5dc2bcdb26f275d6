#!/usr/bin/env bash
# Run in the guest: emulated, Wine runs about ten times slower than natively, so the time limits of
# the tests in BUILD are multiplied by SCALE. Each CTestTestfile.cmake that sets one gets a stretched
# copy laid over it by a bind mount, seen in the guest only; the host's build tree is not touched.
# Usage: stretch-time-limits.sh BUILD SCALE
set -euo pipefail
build=$1 scale=$2
find "$build" -name CTestTestfile.cmake | while read -r file; do
  grep -q 'TIMEOUT "' "$file" || continue
  copy=$(mktemp)
  python3 - "$file" "$scale" >"$copy" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
stretch = lambda m: 'TIMEOUT "%d"' % round(float(m.group(1)) * float(sys.argv[2]))
print(re.sub(r'TIMEOUT "([0-9.]+)"', stretch, text), end='')
PY
  mount --bind "$copy" "$file"
done
