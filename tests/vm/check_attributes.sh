#!/usr/bin/env bash
# tests/vm/check_attributes.sh SERIES: Debian's kernel SERIES (6.12, 6.1) in the test machine.
# Its FAT, exFAT and NTFS drivers must read the attribute words staged on the host, the USB
# stick must show as removable and the virtio disks as fixed, and clearing the hidden bit of
# one entry per disk must change exactly that entry: read again in the machine after a remount,
# and on the host with mtools and ntfs-3g once the machine is off. VM_PROBE names the probe.
set -u
series=${1:?usage: check_attributes.sh SERIES}
root=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
# shellcheck source=../../tools/vm/lib.sh
source "$root/tools/vm/lib.sh"
dir=$root/build/vm/attributes-$series
probe=${VM_PROBE:-$dir/probe}

kdir=$(vm_kernel "$series") || exit 1
release=${kdir##*/}
mkdir -p "$dir"
[ -n "${VM_PROBE:-}" ] || gcc -static -O2 -o "$probe" "$root/tests/vm/probe.c" || exit 1
vm_images "$dir"
host_before="$(vm_fat_attrs "$dir/fat.img" | sed 's/^/fat /')
$(vm_ntfs_attrs "$dir/ntfs.img" | sed 's/^/ntfs /')
$(vm_fat_attrs "$dir/stick.img@@1M" | sed 's/^/stick /')"
vm_initramfs "$kdir" "$dir/initrd" "$root/tests/vm/attributes.sh" "$probe"
vm_run "$kdir" "$dir/initrd" "$dir/serial.log" "${VM_DISKS[@]}" || exit 1
echo "vm: $release booted in $(vm_boot_seconds "$dir/serial.log") s; the whole run took $VM_SECONDS s"

# What the kernel offers: ntfs3 where it is built, the FAT ioctls on exFAT from Linux 6.7 on.
ntfs3=0 exfat_ioctl=0
vm_has_ntfs3 "$kdir" && ntfs3=1
vm_exfat_ioctls "$kdir" && exfat_ioctl=1

# word FS KIND BITS: the word the kernel reads for an entry staged with BITS. Files carry the
# archive bit their creation set; vfat and exfat show folders with 0x10, ntfs3 with its own
# 0x10000000, keeping the archive bit ntfs-3g gave them.
word() {
  local w
  case $1/$2 in
    exfat/*) [ "$exfat_ioctl" = 1 ] || { echo ENOTTY; return; } ;;&
    ntfs/dir) w=0x10000020 ;;
    */dir) w=0x10 ;;
    */file) w=0x20 ;;
  esac
  printf '0x%08x\n' $((w | $3))
}

# listing PHASE FS: the words of the root folder and of every entry, the target's hidden bit
# cleared after the write. mkntfs makes the NTFS root hidden, system and archive.
listing() {
  local path kind bits root
  [ "$2" = ntfs ] && root=0x10000026 || root=$(word "$2" dir 0)
  echo "$1 $2 . $root"
  while read -r path kind bits; do
    [ "$1/$path" = "after/${target[$2]}" ] && bits=$((bits & ~2))
    echo "$1 $2 $path $(word "$2" "$kind" "$bits")"
  done < <(vm_tree)
}

declare -A target=([fat]=hdir [exfat]=hs.txt [ntfs]=hsdir [stick]=plaindir/h.txt)
expected=$(
  echo "mount fat vfat ok"
  echo "mount exfat exfat ok"
  [ "$ntfs3" = 1 ] && echo "mount ntfs ntfs3 ok" || echo "mount ntfs ntfs3 nodriver"
  echo "mount stick vfat ok"
  [ "$exfat_ioctl" = 1 ] && echo "stage exfat ok" || echo "stage exfat refused"
  for fs in fat exfat ntfs stick; do
    [ "$fs" = ntfs ] && [ "$ntfs3" = 0 ] && continue
    [ "$fs" = stick ] && echo "disk /mnt/$fs removable=1 usb=1" || echo "disk /mnt/$fs removable=0 usb=0"
    listing before "$fs"
    listing after "$fs"
    if [ "$fs" = exfat ] && [ "$exfat_ioctl" = 0 ]; then
      echo "clear $fs ${target[$fs]} ENOTTY"
      echo "root $fs ENOTTY"
    else
      echo "clear $fs ${target[$fs]} ok"
      # The volume's root folder keeps no attributes on FAT and exFAT.
      [ "$fs" = ntfs ] || echo "root $fs EINVAL"
    fi
    echo "intact $fs yes"
  done
)
vm_check "$release: the machine read and wrote what was staged" \
  "$(sort <<<"$expected")" "$(vm_results "$dir/serial.log" | sort)"

# On the host, once the machine is off: the one entry per disk lost its hidden bit, nothing else
# changed (the NTFS disk is unchanged where the kernel has no driver for it).
host_after="$(vm_fat_attrs "$dir/fat.img" | sed 's/^/fat /')
$(vm_ntfs_attrs "$dir/ntfs.img" | sed 's/^/ntfs /')
$(vm_fat_attrs "$dir/stick.img@@1M" | sed 's/^/stick /')"
# ntfs3 also stores its folder flag 0x10000000 in a folder's attributes whenever an entry inside
# changes (reading a file updates its access time, and the guest read every file), so ntfs-3g
# reads every folder with it afterwards.
declare -A kind=()
while read -r path k _; do kind[$path]=$k; done < <(vm_tree)
host_expected=$(while read -r fs path w; do
  if [ "$fs" != ntfs ] || [ "$ntfs3" = 1 ]; then
    [ "$path" = "${target[$fs]}" ] && w=$(printf "0x%0$((${#w} - 2))x" $((w & ~2)))
    [ "$fs/${kind[$path]}" = ntfs/dir ] && w=$(printf "0x%08x" $((w | 0x10000000)))
  fi
  echo "$fs $path $w"
done <<<"$host_before")
vm_check "$release: on the host only the cleared entries changed" "$host_expected" "$host_after"
vm_check "$release: fsck.exfat finds the exFAT disk clean" "0" "$(fsck.exfat -n "$dir/exfat.img" >"$dir/fsck.log" 2>&1; echo $?)"

exit "$VM_FAILED"
