#!/bin/bash
# Runs a Wine job (the tests and the demo where this machine's kernel cannot run 32-bit
# programs, see tools/wine/run32.sh; the benchmark's runs) with the shipped 32-bit programs
# (KAVOR_STAGE=32) under 32-bit Wine and a virtual display, in a throwaway virtual machine
# that can run 32-bit programs: QEMU emulates a whole PC (no KVM) booting Debian's own
# kernel. The guest sees this machine's files
# read-only (writes go to memory and vanish), plus build/vm/out writable at the same path
# and an empty ext4 disk at /mnt/kavor, where Wine can keep the hidden and system
# attributes that the guest's tmpfs cannot. The job runs as root from the project folder,
# with the variables given before it; its exit status is ours. Expects the packages of
# "tools/setup.sh wine vm32".
# Usage: run.sh [NAME=VALUE...] JOB [ARGUMENT...]
set -euo pipefail
project="$(cd "$(dirname "$0")/../.." && pwd)"
vm="$project/build/vm"
mkdir -p "$vm"
# One machine at a time: they share the kernel, the disk image and build/vm/out.
exec 9>"$vm/lock"
flock 9

# Debian's current kernel package, unpacked once. apt's package lists name it, and
# apt-get download fetches it as any user. Where they name none, the kernel unpacked before
# serves; only with none unpacked either are the lists updated, which needs root.
kernel_package() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -1; }
unpacked_kernel() { local found=("$vm"/kernel/*/boot/vmlinuz-*); [ ! -f "${found[0]}" ] || echo "linux-image-${found[0]##*/vmlinuz-}"; }
kernel_package=$(kernel_package)
[ -n "$kernel_package" ] || kernel_package=$(unpacked_kernel)
if [ -z "$kernel_package" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "apt's package lists name no Debian kernel (linux-image-amd64), and none is unpacked in" >&2
        echo "$vm/kernel: run this once as root, which updates the lists (apt-get update)." >&2
        exit 1
    fi
    apt-get update -qq
    kernel_package=$(kernel_package)
    [ -n "$kernel_package" ] || { echo "apt names no Debian kernel (linux-image-amd64) even after an update" >&2; exit 1; }
fi
release=${kernel_package#linux-image-}
if [ ! -f "$vm/kernel/$release/boot/vmlinuz-$release" ]; then
    rm -rf "$vm/kernel" && mkdir -p "$vm/kernel/download"
    (cd "$vm/kernel/download" && apt-get download -q "$kernel_package" 2>&1 | grep -v "unsandboxed" || true)
    dpkg-deb -x "$vm/kernel/download/"*.deb "$vm/kernel/$release"
    rm -rf "$vm/kernel/download"
    busybox depmod -b "$vm/kernel/$release" "$release"
fi
modules="$vm/kernel/$release/lib/modules/$release"

# The first stage: busybox and the modules that reach the shares and the disk.
initrd="$vm/initrd"
rm -rf "$initrd" "$vm/initrd.cpio"
mkdir -p "$initrd"/{bin,dev,proc,sys,mnt,lib/modules/"$release"}
cp /bin/busybox "$initrd/bin/busybox"
wanted="virtio_pci virtio_blk 9pnet_virtio 9p overlay ext4 crc32c_generic"
needed() { # a module and what it needs, from modules.dep
    local path
    path=$(grep -E "(^|/)$1\.ko:" "$modules/modules.dep" | head -1 | cut -d: -f1)
    [ -n "$path" ] || { echo "no module $1 in $release" >&2; exit 1; }
    echo "$path"
    grep -E "^$path:" "$modules/modules.dep" | cut -d: -f2 | tr ' ' '\n' | sed '/^$/d'
}
for module in $wanted; do
    for path in $(needed "$module"); do
        mkdir -p "$initrd/lib/modules/$release/$(dirname "$path")"
        cp "$modules/$path" "$initrd/lib/modules/$release/$path"
    done
done
cp "$modules/modules.dep" "$initrd/lib/modules/$release/"
out="$vm/out"
rm -rf "$out" && mkdir -p "$out"
variables=()
while [[ "${1:-}" == *=* ]]; do variables+=("$1"); shift; done
printf '%q ' env KAVOR_STAGE=32 KAVOR_PREFIX_ROOT=/mnt/kavor "${variables[@]}" bash tools/wine/display.sh bash "$@" > "$out/command"
cat > "$initrd/init" <<INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc && mount -t sysfs sysfs /sys && mount -t devtmpfs devtmpfs /dev
for module in $wanted; do modprobe \$module || echo "modprobe \$module failed"; done
mkdir -p /mnt/host /mnt/rw /mnt/root
mount -t 9p -o ro,trans=virtio,version=9p2000.L,cache=loose,msize=512000 host /mnt/host
mount -t tmpfs -o size=75% tmpfs /mnt/rw && mkdir /mnt/rw/upper /mnt/rw/work
mount -t overlay overlay -o lowerdir=/mnt/host,upperdir=/mnt/rw/upper,workdir=/mnt/rw/work /mnt/root
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 out /mnt/root$out
mkdir -p /mnt/root/mnt/kavor && mount -t ext4 /dev/vda /mnt/root/mnt/kavor
for fs in proc sys dev; do mount --move /\$fs /mnt/root/\$fs; done
exec switch_root /mnt/root /bin/bash $project/tools/vm32/guest.sh $project $out
INIT
chmod +x "$initrd/init"
(cd "$initrd" && find . | cpio -o -H newc --quiet) > "$vm/initrd.cpio"

# A fresh disk each run, without a journal: it is thrown away, whatever way this ends.
rm -f "$vm/disk.img"
trap 'rm -f "$vm/disk.img"' EXIT
truncate -s 16G "$vm/disk.img"
mkfs.ext4 -q -F -O ^has_journal,^metadata_csum "$vm/disk.img"

# TCG with a thread per processor and a large translation cache: Wine is big.
qemu-system-x86_64 -accel tcg,thread=multi,tb-size=1024 -cpu qemu64 -m 6144 -smp 2 \
    -display none -vga none -nic none -serial stdio -monitor none -no-reboot \
    -kernel "$vm/kernel/$release/boot/vmlinuz-$release" -initrd "$vm/initrd.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$out,mount_tag=out,security_model=none,multidevs=remap" \
    -drive "file=$vm/disk.img,format=raw,if=virtio,cache=unsafe" </dev/null
[ -f "$out/status" ] || { echo "the virtual machine stopped before the command ended" >&2; exit 1; }
exit "$(cat "$out/status")"
