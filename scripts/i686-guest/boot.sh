#!/usr/bin/env bash
# Boots the i686 guest once: JOBDIR is shared as "job" and its job.sh runs as root in the guest;
# the project folder is shared as "project" for the job to mount. Exits with job.sh's exit code,
# or 125 when the guest left none (it crashed, or the time limit ended it).
# Usage: boot.sh IMAGEDIR JOBDIR [QEMU-ARGS...]   (-snapshot keeps the image unchanged)
# KV_I686_BOOT_LIMIT: seconds before the guest is stopped (default 3600).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
image=$1 job=$(realpath "$2")
shift 2
rm -f "$job/rc"
echo "$root" >"$job/project-path"
# Emulated processor (TCG): these machines have no working hardware virtualisation. With SMAP
# emulated, 32-bit Wine is killed, so SMAP is off.
timeout -k 10 "${KV_I686_BOOT_LIMIT:-3600}" qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap -smp "$(nproc)" -m 4096 \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/guest-init.sh quiet loglevel=3 panic=-1" \
  -drive file="$image/rootfs.img",if=virtio,format=raw,cache=unsafe \
  -virtfs local,path="$job",mount_tag=job,security_model=none,id=job \
  -virtfs local,path="$root",mount_tag=project,security_model=none,id=project \
  -nic none -display none -serial stdio -monitor none -no-reboot "$@" </dev/null
[[ -f $job/rc ]] || { echo "i686 guest: no exit code from the guest" >&2; exit 125; }
exit "$(cat "$job/rc")"
