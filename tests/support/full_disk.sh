#!/usr/bin/env bash
# Test fixture: "mount DIR" puts a small, completely filled tmpfs at DIR (when
# the machine lets this user mount; otherwise DIR holds no "filler" and the
# disk-full tests skip); "unmount DIR" takes it away again.
set -u
dir=$2
case "$1" in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    if mount -t tmpfs -o size=256k tmpfs "$dir" 2>/dev/null; then
      dd if=/dev/zero of="$dir/filler" bs=4k >/dev/null 2>&1 || true
    fi
    exit 0 ;;
  unmount)
    mountpoint -q "$dir" && umount "$dir"
    exit 0 ;;
esac
exit 2
