#!/usr/bin/env bash
# Packs the demo application with CMake's cpack through cmake/KvpackCPack.cmake: configures and
# builds examples/cpack with the MinGW toolchain of a Korvalin Windows build, runs cpack, and leaves
# the installer in OUTDIR. kvpack (build/native) and the Korvalin build are built first when missing.
# Usage: scripts/cpack-example.sh OUTDIR [KORVALIN_WINDOWS_BUILD]
#   KORVALIN_WINDOWS_BUILD: the build that gives the toolchain, kvsetup.exe and Kvuninstall.exe
#   (default build/mingw64). KV_CPACK_BUILD chooses the example's build folder (default
#   build/cpack-example); KVPACK chooses another kvpack.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
(($# >= 1)) || { echo "usage: $0 OUTDIR [KORVALIN_WINDOWS_BUILD]" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
windows=$(realpath -m "${2:-$root/build/mingw64}")
example_build=$(realpath -m "${KV_CPACK_BUILD:-$root/build/cpack-example}")
kvpack=${KVPACK:-$root/build/native/tools/kvpack/kvpack}
jobs=$(nproc)

if [[ ! -x $kvpack ]]; then
  (cd "$root" && cmake --preset native >/dev/null && cmake --build --preset native -j"$jobs" --target kvpack)
fi
if [[ ! -f $windows/app/kvsetup.exe || ! -f $windows/uninstall/Kvuninstall.exe ]]; then
  (cd "$root" && cmake --preset mingw64 -B "$windows" >/dev/null &&
     cmake --build "$windows" -j"$jobs" --target kvsetup Kvuninstall)
fi
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$windows/CMakeCache.txt")

rm -rf "$example_build"
cmake -S "$root/examples/cpack" -B "$example_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKVPACK_EXECUTABLE="$kvpack" \
      -DKVPACK_STUB="$windows/app/kvsetup.exe" -DKVPACK_UNINSTALLER="$windows/uninstall/Kvuninstall.exe"
cmake --build "$example_build" -j"$jobs"
# Packages go to a folder of their own, apart from the example's program.
(cd "$example_build" && cpack -B "$example_build/packages")
cp "$example_build"/packages/*.exe "$out/"
ls -l "$out"/*.exe
