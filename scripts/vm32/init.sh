#!/bin/sh
# The first process of the 32-bit test machine, started by its kernel in
# place of an init system. It mounts what programs expect (/proc, /dev,
# tmpfs folders), brings up the loopback interface (the tests' servers
# listen on 127.0.0.1), mounts the host's control folder, runs the command
# the host left there and writes that command's exit status beside it, then
# powers the machine off. Nothing else runs: no services, no network.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
# The initial RAM disk may have mounted some of them already.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
chmod 1777 /tmp /dev/shm
ip link set lo up
# The serial console would turn every line end into CR LF on the host.
stty -onlcr </dev/console 2>/dev/null
mkdir -p /run/vm32
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 vm32 /run/vm32; then
  sh /run/vm32/command </dev/null >/dev/console 2>&1
  echo $? >/run/vm32/status
  umount /run/vm32
else
  echo "vm32 init: the host's control folder could not be mounted" >/dev/console
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
