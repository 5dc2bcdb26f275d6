#!/usr/bin/env bash
# The main job: installs what is needed, builds the native tools and the Windows programs, packs the
# demo application (examples/demo) into an installer with kvpack, then lists and verifies it.
# Usage: scripts/demo.sh        (writes build/demo/setup.exe)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/prelude.sh

for preset in native mingw32; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >"build/$preset-configure.log" 2>&1 || { cat "build/$preset-configure.log"; exit 1; }
  cmake --build --preset "$preset" -j"$(nproc)"
done

kvpack=build/native/tools/kvpack/kvpack
out=build/demo
mkdir -p "$out"

# PLACEHOLDERS: until the installer program and the uninstaller are built by the mingw32 preset,
# any file stands in for them so that packing, listing and verifying can be shown. The resulting
# setup.exe does not run. Remove these two fallbacks once both programs exist.
stub=build/mingw32/app/kvsetup.exe
if [[ ! -f $stub ]]; then
  stub=$out/placeholder-kvsetup.exe
  printf 'PLACEHOLDER installer program: build/mingw32/app/kvsetup.exe is not built yet\n' >"$stub"
  echo "demo: NOTE: $stub stands in for the installer program"
fi
uninstaller=build/mingw32/uninstall/Kvuninstall.exe
if [[ ! -f $uninstaller ]]; then
  uninstaller=$out/placeholder-Kvuninstall.exe
  printf 'PLACEHOLDER uninstaller: build/mingw32/uninstall/Kvuninstall.exe is not built yet\n' >"$uninstaller"
  echo "demo: NOTE: $uninstaller stands in for the uninstaller"
fi

echo "=== pack examples/demo/kvdemo.toml"
"$kvpack" build examples/demo/kvdemo.toml -o "$out/setup.exe" --stub "$stub" --uninstaller "$uninstaller"
echo "=== kvpack list $out/setup.exe"
"$kvpack" list "$out/setup.exe"
echo "=== kvpack verify $out/setup.exe"
"$kvpack" verify "$out/setup.exe"
echo
echo "demo: installer written to $out/setup.exe"
