#!/usr/bin/env bash
# Builds the 32-bit test machine's disk image, once per recipe: a Debian 12
# amd64 system from Debian's own packages (debootstrap, then apt in a
# chroot) with its kernel and Debian's real 32-bit Wine (wine32:i386), the
# only way this project's shipped 32-bit program runs on a host whose kernel
# cannot execute 32-bit code. Prints the image's folder (see paths.sh);
# an image already built for this recipe is used as it is.
#
#   scripts/vm32/image.sh
#
# Needs root, debootstrap and mkfs.ext4 with -d (e2fsprogs 1.43 or later),
# about 7 GB of free disk while it builds (3.5 GB are kept) and about ten
# minutes. The guest knows only the suite it needs (bookworm main): it is a
# closed test machine that never reaches a network.
set -euo pipefail
source "$(dirname "$0")/paths.sh"
mirror=${TAVREL_VM32_MIRROR:-http://deb.debian.org/debian}
need_mb=7168

# What the Windows tests need in the guest: Wine for both architectures
# (the 64-bit loader starts the prefix, the 32-bit one runs the program),
# the X libraries Wine's display driver loads for each of them, the fonts it
# draws with, a virtual display, screenshots, Python for the end-to-end
# harness, chrony for the NTP tests and ctest to run them all.
x_libs=(libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1 libgnutls30)
packages=(linux-image-amd64 iproute2 procps cmake python3 xvfb xauth imagemagick chrony
          wine wine64 wine32:i386 fonts-liberation fonts-wine "${x_libs[@]}" "${x_libs[@]/%/:i386}")

if [ -f "$vm32_image/ready" ]; then
  echo "$vm32_image"
  exit 0
fi
mkdir -p "$vm32_cache"
# Two runs on one machine build the image once: the second waits here.
exec 9>"$vm32_cache/build.lock"
flock 9
if [ -f "$vm32_image/ready" ]; then
  echo "$vm32_image"
  exit 0
fi

free_mb=$(df --output=avail -BM "$vm32_cache" | tail -1 | tr -dc 0-9)
if [ "$free_mb" -lt "$need_mb" ]; then
  echo "vm32: building the 32-bit test machine needs about $need_mb MB of free disk in $vm32_cache;" \
       "only $free_mb MB are free. Free some space (or set TAVREL_VM32_CACHE to a larger disk) and run again." >&2
  exit 1
fi

work=$vm32_image.partial
tree=$work/tree
unmount_tree() {
  for mount in dev/pts dev sys proc; do
    if mountpoint -q "$tree/$mount" 2>/dev/null; then umount -l "$tree/$mount"; fi
  done
}
trap unmount_tree EXIT
# Stopped from outside (test.sh ends early), the chroot's mounts go too.
trap 'exit 1' INT TERM
unmount_tree
rm -rf --one-file-system "$work"
mkdir -p "$work"
started=$(date +%s)
log() { echo "vm32: $* ($(( $(date +%s) - started )) s)" >&2; }

log "debootstrap of bookworm into $tree"
debootstrap --variant=minbase bookworm "$tree" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -20 "$work/debootstrap.log" >&2; exit 1; }

mount -t proc proc "$tree/proc"
mount -t sysfs sysfs "$tree/sys"
mount --bind /dev "$tree/dev"
mount --bind /dev/pts "$tree/dev/pts"
in_tree() { chroot "$tree" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

# No service starts in the chroot (chrony's would steer the host's clock);
# no documentation, manuals or translations: nobody reads them there.
printf '#!/bin/sh\nexit 101\n' >"$tree/usr/sbin/policy-rc.d"
chmod 755 "$tree/usr/sbin/policy-rc.d"
cat >"$tree/etc/dpkg/dpkg.cfg.d/90tavrel" <<'EOF'
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
path-exclude=/usr/share/locale/*
EOF
cat >"$tree/etc/apt/apt.conf.d/90tavrel" <<'EOF'
APT::Install-Recommends "false";
Acquire::Languages "none";
Acquire::Retries "3";
EOF
echo "deb $mirror bookworm main" >"$tree/etc/apt/sources.list"
printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$tree/etc/hosts"
echo tavrel-vm32 >"$tree/etc/hostname"
# The initial RAM disk needs only what finds the root disk: QEMU's virtio
# block device with ext4 on it. Debian's default copies most of the
# kernel's modules, which takes minutes.
mkdir -p "$tree/etc/initramfs-tools/conf.d" "$tree/usr/share/initramfs-tools/modules.d"
echo MODULES=list >"$tree/etc/initramfs-tools/conf.d/tavrel-vm32"
printf 'virtio_pci\nvirtio_blk\ncrc32c_generic\next4\n' >"$tree/usr/share/initramfs-tools/modules.d/tavrel-vm32"

log "installing ${#packages[@]} packages and their dependencies"
in_tree dpkg --add-architecture i386
in_tree apt-get update >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; exit 1; }
in_tree apt-get install -y "${packages[@]}" </dev/null >>"$work/apt.log" 2>&1 ||
  { tail -30 "$work/apt.log" >&2; exit 1; }
in_tree apt-get clean
rm -rf "$tree"/var/lib/apt/lists/*
install -m 755 "$vm32_dir/init.sh" "$tree/sbin/tavrel-init"
unmount_tree

cp "$(ls -1 "$tree"/boot/vmlinuz-* | tail -1)" "$work/vmlinuz"
cp "$(ls -1 "$tree"/boot/initrd.img-* | tail -1)" "$work/initrd.img"
# Room for what the tests write on the guest's own disk (the Wine prefix).
size_mb=$(( $(du -sm "$tree" | cut -f1) + 3072 ))
log "making a ${size_mb} MB ext4 image"
mkfs.ext4 -q -F -m 0 -L tavrel-vm32 -d "$tree" "$work/root.img" "${size_mb}M"
rm -rf --one-file-system "$tree"
touch "$work/ready"
mv "$work" "$vm32_image"
# Images of older recipes are of no further use and hold 3.5 GB each.
for old in "$vm32_cache"/vm32-*; do
  [ "$old" = "$vm32_image" ] || rm -rf --one-file-system "$old"
done
log "image ready in $vm32_image"
echo "$vm32_image"
