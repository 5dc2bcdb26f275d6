# Sourced: makes `wine` work where the kernel cannot run 32-bit Linux programs (some sandboxed
# machines). Debian's `wine` starts its 32-bit loader whenever that is installed, and fails there
# with "Exec format error"; a shim folder first on PATH sends `wine` to the 64-bit loader instead.
# KV_WINE32 tells the scripts whether 32-bit Windows programs can run on this machine (1) or not (0).
if [[ -z "${KV_WINE32:-}" ]]; then
  if [[ ! -x /usr/lib/wine/wine ]] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export KV_WINE32=1
  else
    export KV_WINE32=0
  fi
fi
if [[ $KV_WINE32 == 0 && -x /usr/lib/wine/wine64 ]]; then
  kv_wine_shim=${TMPDIR:-/tmp}/kv-wine64-shim-$(id -u)
  if [[ ! -x $kv_wine_shim/wine-stable ]]; then
    mkdir -p "$kv_wine_shim"
    for name in wine wine-stable; do
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$kv_wine_shim/$name"
      chmod +x "$kv_wine_shim/$name"
    done
  fi
  [[ ":$PATH:" == *":$kv_wine_shim:"* ]] || export PATH="$kv_wine_shim:$PATH"
fi
