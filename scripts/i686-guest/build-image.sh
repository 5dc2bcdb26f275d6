#!/usr/bin/env bash
# Makes the i686 guest image, or finds it made: a Debian root file system (amd64 kernel, Wine with
# its 32-bit half, the tests' readers) whose Wine prefix is already created and prepared as
# scripts/wine-env.sh prepares the test prefix, so a test boot starts Wine at once.
# Packages come from this machine's own apt sources. The image is kept in
# $KV_I686_CACHE/KEY (default /var/cache/kv-i686-guest), KEY a hash of the image's scripts, its
# package list, the prefix set-up scripts and the Debian release; other keys are removed once a new
# image is made.
# Prints the image folder on the last line. Run as root.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${KV_I686_CACHE:-/var/cache/kv-i686-guest}
source /etc/os-release
suite=$VERSION_CODENAME
key=$( (cd "$root" && cat scripts/i686-guest/build-image.sh scripts/i686-guest/guest-init.sh \
  scripts/i686-guest/packages.txt scripts/i686-guest/prepare-prefix.sh scripts/wine-env.sh \
  scripts/wine-loader.sh; echo "$suite") | sha256sum | cut -c1-16)
image=$cache/$key
if [[ -f $image/ready ]]; then
  echo "i686 guest: image $image is ready"
  echo "$image"
  exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9
[[ -f $image/ready ]] && { echo "$image"; exit 0; }
work=$cache/$key.part
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS

# Whatever apt sources this machine has, as files, so no host is named here.
sources=()
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [[ -s $f ]] && sources+=("$f")
done
include=$(grep -v '^#' "$here/packages.txt" | grep . | paste -sd, -)
# A short list of modules keeps the initramfs small and the boot fast; 9p comes from the root disk.
mmdebstrap --mode=root --variant=apt --architectures=amd64,i386 --include="$include" \
  --aptopt='APT::Install-Recommends "false"' \
  --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-exclude=/usr/share/locale/*' --dpkgopt='path-include=/usr/share/locale/locale.alias' \
  --setup-hook='mkdir -p "$1/etc/initramfs-tools/conf.d" "$1/usr/share/initramfs-tools/modules.d"
     printf "MODULES=list\nCOMPRESS=gzip\n" >"$1/etc/initramfs-tools/conf.d/kv.conf"
     printf "virtio_pci\nvirtio_blk\next4\n" >"$1/usr/share/initramfs-tools/modules.d/kv"' \
  --customize-hook="copy-in $here/guest-init.sh /" \
  --customize-hook='chmod 755 "$1/guest-init.sh"' \
  "$suite" "$work/rootfs" "${sources[@]}"
debootstrapped=$SECONDS
cp "$work"/rootfs/boot/vmlinuz-* "$work/vmlinuz"
cp "$work"/rootfs/boot/initrd.img-* "$work/initrd.img"
mkfs.ext4 -q -F -L root -d "$work/rootfs" "$work/rootfs.img" 8G
rm -rf "$work/rootfs"

# First boot, writing to the image: the Wine prefix is made once here, not by every test boot.
mkdir -p "$work/job"
cp "$here/prepare-prefix.sh" "$work/job/job.sh"
KV_I686_BOOT_LIMIT=1800 "$here/boot.sh" "$work" "$work/job" >"$work/job/console.log" 2>&1 || {
  cat "$work/job/console.log" "$work/job/job.log" >&2 || true
  echo "i686 guest: making the Wine prefix failed" >&2
  exit 1
}
cat "$work/job/job.log"
rm -rf "$work/job"
echo "mmdebstrap $((debootstrapped - started)) s, prefix boot $((SECONDS - debootstrapped)) s" >"$work/build-times"
touch "$work/ready"
for old in "$cache"/*/; do [[ ${old%/} == "$work" ]] || rm -rf "$old"; done
mv "$work" "$image"
echo "i686 guest: image made in $((SECONDS - started)) s ($(cat "$image/build-times"))"
echo "$image"
