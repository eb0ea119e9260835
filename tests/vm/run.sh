#!/bin/sh
# Runs a test program inside the test VM, where the kernel has input devices
# (evdev, uinput) that this machine's has not:
#   tests/vm/run.sh PROGRAM [ARGS...]
# The VM is Debian's own kernel (its package downloaded with apt-get download
# and unpacked, never installed) booted by qemu (TCG) from a small initramfs
# of busybox-static and the kernel's modules; both are made once under
# build/vm. Inside, this machine's root is mounted read-only over 9p and the
# program runs chrooted in it, in the current folder (no blanks in its path or
# the arguments), so it loads the same libraries as here. One
# boot for the whole program; qemu always runs under a time limit, and the
# program's result comes out through the isa-debug-exit port: 0 when it
# passed, 1 when it failed or the VM never got that far.
set -eu
[ $# -ge 1 ] || { echo "usage: tests/vm/run.sh PROGRAM [ARGS...]" >&2; exit 2; }
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
VM=$ROOT/build/vm
program=$(realpath "$1")
shift
command -v qemu-system-x86_64 >/dev/null || { echo "tests/vm: qemu-system-x86_64 is missing (package qemu-system-x86)" >&2; exit 1; }
[ -x /bin/busybox ] && file -L /bin/busybox | grep -q 'statically linked' ||
    { echo "tests/vm: /bin/busybox is not the static one (package busybox-static)" >&2; exit 1; }

# The modules, in the order they load: evdev and uinput for the tests, the
# rest for the 9p mount of this machine's root.
MODULES="drivers/input/evdev drivers/input/misc/uinput drivers/virtio/virtio_ring drivers/virtio/virtio
 drivers/virtio/virtio_pci_modern_dev drivers/virtio/virtio_pci_legacy_dev drivers/virtio/virtio_pci net/9p/9pnet
 net/9p/9pnet_virtio fs/netfs/netfs fs/fscache/fscache fs/9p/9p"

kernel_package=$(apt-cache depends linux-image-amd64 | awk '/Depends:/ { print $2; exit }')
[ -n "$kernel_package" ] || { echo "tests/vm: apt knows no linux-image-amd64" >&2; exit 1; }
kernel=$VM/$kernel_package
if [ ! -f "$kernel/vmlinuz" ]; then
    echo "tests/vm: unpacking $kernel_package (once)"
    rm -rf "$kernel"
    mkdir -p "$kernel/modules"
    tmp=$(mktemp -d)
    chmod 777 "$tmp"  # apt's own download user writes there
    (cd "$tmp" && apt-get download -q "$kernel_package" >/dev/null) || { rm -rf "$tmp"; exit 1; }
    dpkg-deb -x "$tmp/${kernel_package}"_*.deb "$tmp/unpack"
    for m in $MODULES; do
        cp "$(find "$tmp/unpack/lib/modules" -path "*/kernel/$m.ko" | head -n 1)" "$kernel/modules/"
    done
    cp "$tmp"/unpack/boot/vmlinuz-* "$kernel/vmlinuz.new"
    mv "$kernel/vmlinuz.new" "$kernel/vmlinuz"
    rm -rf "$tmp"
fi

# The initramfs, made again whenever this script changes.
initramfs=$kernel/initramfs-$(sha256sum "$0" | cut -c1-12).gz
if [ ! -f "$initramfs" ]; then
    rm -rf "$kernel/root" "$kernel"/initramfs-*.gz
    mkdir -p "$kernel/root/bin" "$kernel/root/modules"
    for m in $MODULES; do
        cp "$kernel/modules/$(basename "$m").ko" "$kernel/root/modules/"
        basename "$m" >>"$kernel/root/modules/order"
    done
    cp /bin/busybox "$kernel/root/bin/busybox"
    cat >"$kernel/root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /mnt
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod "/modules/$m.ko" || echo "vm: insmod $m failed"; done
code=1
if mount -t 9p -o trans=virtio,version=9p2000.L,ro hostroot /mnt; then
    mount --bind /proc /mnt/proc && mount --bind /sys /mnt/sys && mount --bind /dev /mnt/dev
    # The command line after "--": the folder to run in, the program and its arguments.
    set -f  # the arguments are words, never file patterns
    set -- $(sed 's/.* -- //' /proc/cmdline)
    chroot /mnt /bin/sh -c 'cd "$0" && exec "$@"' "$@" && code=0
fi
# qemu exits with 2*code+1.
printf "\\$(printf %o "$code")" | dd of=/dev/port bs=1 seek=244 count=1 2>/dev/null
poweroff -f
INIT
    chmod +x "$kernel/root/init"
    (cd "$kernel/root" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$initramfs.new")
    mv "$initramfs.new" "$initramfs"
    rm -rf "$kernel/root"
fi

start=$(date +%s%N)
status=0
timeout -k 5 180 qemu-system-x86_64 -accel tcg -m 256 -nodefaults -no-reboot -display none -serial stdio -net none \
    -kernel "$kernel/vmlinuz" -initrd "$initramfs" \
    -append "console=ttyS0 quiet panic=-1 -- $PWD $program $*" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 || status=$?
echo "tests/vm: $(( ($(date +%s%N) - start) / 1000000 )) ms from boot to result"
case $status in
1) exit 0 ;;
3) echo "tests/vm: the program failed inside the VM" >&2; exit 1 ;;
124|137) echo "tests/vm: the VM did not finish in time" >&2; exit 1 ;;
*) echo "tests/vm: the VM ended without a result (qemu status $status)" >&2; exit 1 ;;
esac
