#!/usr/bin/env bash
# Runs one command in the 32-bit test machine and passes on its output and
# exit status: boots the guest (image.sh builds it first if needed) under
# QEMU's software emulation, with the project folder shared at the same
# path, runs the command there as root, and powers the guest off.
#
#   scripts/vm32/run.sh [--env NAME=VALUE]... [--timeout SECONDS] -- COMMAND [ARG...]
#
# The command starts in the project folder with a clean environment plus the
# --env variables. The guest's disk is a throw-away copy of the image: only
# what the command writes into the project folder stays. QEMU 9.1 or later:
# older versions crash every 32-bit program in the guest.
set -euo pipefail
source "$(dirname "$0")/paths.sh"
project=$(cd "$vm32_dir/../.." && pwd)

envs=()
limit=3600
while [ $# -gt 0 ]; do
  case "$1" in
    --env) envs+=("$2"); shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [--env NAME=VALUE]... [--timeout SECONDS] -- COMMAND [ARG...]" >&2
  exit 2
fi

image=$("$vm32_dir/image.sh")
control=$(mktemp -d /tmp/tavrel-vm32.XXXXXX)
trap 'rm -rf "$control"' EXIT

# The guest's init runs this with sh: the project folder mounted where the
# host has it, then the command. 9p's mmap cache mode lets Wine map the
# programs it loads from there.
quote() { printf "'%s'" "${1//\'/\'\\\'\'}"; }
{
  echo "mkdir -p $(quote "$project")"
  echo "mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=mmap project $(quote "$project") || exit 125"
  # The console is a terminal, but no one reads colours there.
  echo "export HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin"
  for pair in "${envs[@]}"; do echo "export $(quote "$pair")"; done
  echo "cd $(quote "$PWD") || exit 125"
  printf 'exec'
  for arg in "$@"; do printf ' %s' "$(quote "$arg")"; done
  echo
} >"$control/command"

cpus=$(nproc)
if [ "$cpus" -gt 4 ]; then cpus=4; fi
started=$(date +%s)
set +e
timeout -k 10 "$limit" qemu-system-x86_64 -machine pc -accel tcg,thread=multi -cpu max -smp "$cpus" -m 4G \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/sbin/tavrel-init" \
  -drive "file=$image/root.img,format=raw,if=virtio,snapshot=on,cache=unsafe" \
  -virtfs "local,path=$control,mount_tag=vm32,security_model=none" \
  -virtfs "local,path=$project,mount_tag=project,security_model=none" \
  -nic none -display none -monitor none -serial stdio -no-reboot </dev/null
qemu_status=$?
set -e
took=$(( $(date +%s) - started ))
if [ ! -s "$control/status" ]; then
  if [ "$qemu_status" -eq 124 ]; then
    echo "vm32: the guest was stopped after $limit s" >&2
  else
    echo "vm32: the guest ended without the command's status (QEMU exit $qemu_status, after $took s)" >&2
  fi
  exit 125
fi
status=$(cat "$control/status")
echo "vm32: the command ended with status $status after $took s in the guest"
exit "$status"
