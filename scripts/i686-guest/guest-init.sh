#!/bin/sh
# The guest's first process: mounts what Linux and Wine need, runs the job the host shared as
# "job" (/job/job.sh), leaves its exit code in /job/rc and powers the machine off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
busybox ip link set lo up
hostname kv-i686
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 job /job
# The project folder is mounted at the host's path, so the build tree's absolute paths hold here.
# It goes through the page cache (cache=loose): uncached, a long read returns no more than one 9p
# message carries (about 500 KB), and Wine reads each section of a program with one read, so the
# code of large programs was zeros past that point. The host leaves the folder alone meanwhile.
if [ -s /job/project-path ]; then
  project=$(cat /job/project-path)
  mkdir -p "$project"
  mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose project "$project"
fi
echo "guest: up after $(cut -d' ' -f1 /proc/uptime) s"
bash /job/job.sh >/job/job.log 2>&1 </dev/null
rc=$?
echo "$rc" >/job/rc
echo "guest: job ended with $rc after $(cut -d' ' -f1 /proc/uptime) s"
# Whatever the job left running (Xvfb, wineserver) ends before the disks are let go.
kill -TERM -1 2>/dev/null
sleep 1
kill -KILL -1 2>/dev/null
sync
umount -a -r 2>/dev/null
sync
busybox poweroff -f
