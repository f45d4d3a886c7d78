#!/bin/bash
# The second stage inside the virtual machine of run.sh, as its first process: mounts
# what programs expect, runs the command that run.sh left in OUT/command, keeps its exit
# status in OUT/status and powers the machine off. Usage: guest.sh PROJECT OUT
project=$1
out=$2
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
# The guest's own /tmp and /run: this machine's are not its to use. The project itself may
# lie under /tmp (a clone made there): it is brought back into the fresh /tmp.
mount -t tmpfs tmpfs /run
mkdir -p /run/host-tmp && mount --rbind /tmp /run/host-tmp
mount -t tmpfs tmpfs /tmp
case "$project/" in
    /tmp/*) mkdir -p "$project" && mount --rbind "/run/host-tmp/${project#/tmp/}" "$project" ;;
esac
hostname kavor-vm32
echo "== In the 32-bit virtual machine ($(uname -m), kernel $(uname -r), $(nproc) processors)"
cd "$project"
# Through a pipe, so that the console is no terminal to it and tools print plain text.
bash -c "$(cat "$out/command")" </dev/null 2>&1 | cat
echo "${PIPESTATUS[0]}" > "$out/status"
sync
# busybox-static's own poweroff: it needs no init to talk to.
exec /bin/busybox poweroff -f
