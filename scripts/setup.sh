#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Idempotent; run as root.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config git
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # the win32 thread model's runtime, which the shipped programs link (no winpthreads)
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  # libraries (native) and sources (rebuilt for MinGW)
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libtomlplusplus-dev libmspack-dev
  # fuzzing and sanitizers, and the format check
  clang libclang-rt-14-dev llvm clang-format
  # Windows programs under Wine, with a virtual display
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
  # Wine's own fonts (MS Sans Serif, Tahoma, Marlett...): without them every dialog is drawn in a
  # wider substitute and texts that fit on Windows are cut off
  fonts-wine
  # independent readers for the tests and the benchmark
  mscompress liblnk-utils nsis python3
  # file properties and icons read back from the programs' resources, and the winget manifests
  # checked against their schemas and read by a second YAML parser
  python3-pefile icoutils python3-jsonschema python3-yaml
  # signing: a certificate made on the spot, Authenticode signatures and their check
  openssl osslsigncode
  # the emulated machine that runs the i686 tests where the kernel runs no 32-bit programs
  # (scripts/i686-guest): its image is made from Debian packages, its disk without mounting
  qemu-system-x86 mmdebstrap e2fsprogs
)

export DEBIAN_FRONTEND=noninteractive
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  echo "setup: all packages present"
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "setup: installed ${missing[*]}"
