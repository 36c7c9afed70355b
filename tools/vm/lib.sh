# shellcheck shell=bash
# The test machine: Debian's own kernels under qemu (TCG, no network device), a busybox
# initramfs, disk images made on the host. Source this file. A check is four calls and a
# comparison (tests/vm/check_attributes.sh is one):
#
#   kdir=$(vm_kernel 6.12)                   kernel and modules, cached under build/vm/kernels
#   vm_images "$dir"                         fat, exfat, ntfs and a USB stick; sets VM_DISKS
#   vm_initramfs "$kdir" "$dir/initrd" run.sh "$VM_PROBE" PROGRAM...   programs go to /vm/bin
#   vm_run "$kdir" "$dir/initrd" "$dir/serial.log" "${VM_DISKS[@]}"
#   diff <(expected) <(vm_results "$dir/serial.log")
#
# run.sh runs in the machine under busybox sh with each disk mounted at /mnt/NAME (and
# unmounted after it, before the power goes off); it reports with `say TEXT` and has the
# helpers of tools/vm/guest.sh. After vm_run the images hold what the machine left on them,
# for vm_fat_attrs, vm_ntfs_attrs and fsck.exfat.

VM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VM_TOOLS=$VM_ROOT/tools/vm
# What the disks and the USB stick need; their dependencies are added from modules.dep.
# Modules a kernel lacks (ntfs3 on 6.1) are left out, and the guest reports "nodriver".
VM_MODULES=(virtio_pci virtio_blk fat vfat exfat ntfs3 nls_cp437 nls_ascii nls_utf8
            nls_iso8859_1 xhci_pci usb_storage sd_mod)
# usb-storage waits a second before it scans a new device by default.
declare -A VM_MODULE_ARGS=([usb_storage]="delay_use=0")

vm_kernel() { "$VM_TOOLS/kernel" "$1"; }

# vm_tree: the entries every image holds, one "PATH KIND BITS" a line (tools/vm/tree.txt).
vm_tree() { grep -v '^#' "$VM_TOOLS/tree.txt"; }

# vm_modules KDIR NAME...: the module files to load, relative to lib/modules/<release>, each
# after the modules it needs. Built-in modules are skipped.
vm_modules() {
  local kdir=$1; shift
  local mdir=$kdir/lib/modules/${kdir##*/} line file name
  declare -A deps=() files=() builtin=() seen=()
  while IFS= read -r line; do
    file=${line%%:*} name=${file##*/} name=${name%%.ko*} name=${name//-/_}
    files[$name]=$file deps[$name]=${line#*:}
  done <"$mdir/modules.dep"
  while IFS= read -r file; do
    name=${file##*/} name=${name%%.ko*}; builtin[${name//-/_}]=1
  done <"$mdir/modules.builtin"
  _vm_visit() {
    local n=$1 d
    [ -n "${seen[$n]:-}" ] && return
    seen[$n]=1
    for d in ${deps[$n]}; do d=${d##*/} d=${d%%.ko*}; _vm_visit "${d//-/_}"; done
    echo "${files[$n]}"
  }
  for name; do
    [ -n "${builtin[$name]:-}" ] && continue
    [ -n "${files[$name]:-}" ] || { echo "vm: ${kdir##*/} has no module $name (left out)" >&2; continue; }
    _vm_visit "$name"
  done
}

# vm_initramfs KDIR OUT GUEST_SCRIPT [PROGRAM...]: a gzip'd cpio with busybox, the modules,
# tools/vm/init, GUEST_SCRIPT as /vm/run.sh, the tree list as /vm/tree.txt and each PROGRAM
# in /vm/bin, with the libraries it was linked with.
vm_initramfs() {
  local kdir=$1 out=$2 guest=$3; shift 3
  local mdir=$kdir/lib/modules/${kdir##*/} stage f name base
  stage=$(mktemp -d "${out%/*}/initramfs.XXXXXX")
  mkdir -p "$stage"/{bin,dev,proc,sys,mnt,lib/modules,vm/bin}
  cp /bin/busybox "$stage/bin/busybox"
  install -m 755 "$VM_TOOLS/init" "$stage/init"
  cp "$VM_TOOLS/guest.sh" "$stage/vm/guest.sh"
  cp "$guest" "$stage/vm/run.sh"
  vm_tree >"$stage/vm/tree.txt"
  for f; do
    cp "$f" "$stage/vm/bin/"
    # A dynamic program brings its libraries and loader, at the paths it was linked with.
    ldd "$f" 2>/dev/null | grep -o '/[^ ]*' | while read -r lib; do cp -L --parents "$lib" "$stage"; done
  done
  while IFS= read -r f; do
    base=${f##*/} name=${base%%.ko*}
    case $base in
      *.ko.xz) xz -dc "$mdir/$f" >"$stage/lib/modules/$name.ko" ;;
      *.ko.zst) zstd -qdc "$mdir/$f" >"$stage/lib/modules/$name.ko" ;;
      *) cp "$mdir/$f" "$stage/lib/modules/$name.ko" ;;
    esac
    printf '%s.ko %s\n' "$name" "${VM_MODULE_ARGS[${name//-/_}]:-}" >>"$stage/vm/modules"
  done < <(vm_modules "$kdir" "${VM_MODULES[@]}")
  (cd "$stage" && find . | cpio -o -H newc -R 0:0 --quiet) | gzip -1 >"$out"
  rm -rf "$stage"
}

# vm_run KDIR INITRD LOG DISK...: boots the machine until it powers off (time-out VM_TIMEOUT
# seconds, default 300) with the serial console in LOG. A DISK is NAME=TYPE:IMAGE (a virtio
# disk) or NAME=TYPE:usb:IMAGE (a removable USB stick); TYPE is the kernel's file system name.
# Fails unless the guest got to ZVM-END; VM_SECONDS is then the run's wall time.
vm_run() {
  local kdir=$1 initrd=$2 log=$3; shift 3
  local given name type img args=() disks=() virtio=({a..z}) usb=({a..z}) nv=0 nu=0 start rc
  for given; do
    name=${given%%=*} type=${given#*=} img=${type#*:} type=${type%%:*}
    case $img in
      usb:*)
        img=${img#usb:}
        args+=(-drive "if=none,id=stick$nu,file=$img,format=raw"
               -device "usb-storage,bus=xhci.0,drive=stick$nu,removable=on")
        disks+=("$name:$type:sd${usb[nu]}"); nu=$((nu + 1)) ;;
      *)
        args+=(-drive "file=$img,format=raw,if=virtio")
        disks+=("$name:$type:vd${virtio[nv]}"); nv=$((nv + 1)) ;;
    esac
  done
  [ "$nu" = 0 ] || args=(-device qemu-xhci,id=xhci "${args[@]}")
  local cmdline="console=ttyS0 quiet panic=-1 zvm_disks=$(IFS=,; echo "${disks[*]}")"
  start=$EPOCHREALTIME
  # No network device: nothing in the machine may reach an address outside it.
  timeout -k 10 "${VM_TIMEOUT:-300}" qemu-system-x86_64 -accel tcg -cpu max -smp "${VM_SMP:-1}" \
    -m 1024 -kernel "$kdir/boot/vmlinuz-${kdir##*/}" -initrd "$initrd" -append "$cmdline" \
    -nographic -no-reboot -nic none "${args[@]}" </dev/null >"$log" 2>&1
  rc=$?
  VM_SECONDS=$(awk "BEGIN { printf \"%.1f\", $EPOCHREALTIME - $start }")
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    echo "vm: ${kdir##*/} did not power off within ${VM_TIMEOUT:-300} s; the console's end:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
  if ! grep -q '^ZVM-END' "$log"; then
    echo "vm: ${kdir##*/} stopped (qemu status $rc) before its run script ended:" >&2
    tail -n 30 "$log" >&2
    return 1
  fi
}

# vm_results LOG: the guest's `say` lines, without the marker.
vm_results() { tr -d '\r' <"$1" | sed -n 's/^ZVM: //p'; }

# vm_boot_seconds LOG: seconds from the kernel's start to the run script's start.
vm_boot_seconds() { tr -d '\r' <"$1" | sed -n 's/^ZVM-BEGIN //p'; }

# vm_status LOG: the run script's exit status.
vm_status() { tr -d '\r' <"$1" | sed -n 's/^ZVM-END //p'; }

# vm_check WHAT EXPECTED ACTUAL: prints "ok   WHAT", or "FAIL WHAT" and the lines that differ;
# a failure sets VM_FAILED=1.
VM_FAILED=0
vm_check() {
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1 (- expected, + seen)"
    diff <(echo "$2") <(echo "$3") | sed -n 's/^</     -/p; s/^>/     +/p'
    VM_FAILED=1
  fi
}

# vm_has_ntfs3 KDIR: the kernel has the ntfs3 driver (Debian builds it from 6.12 on, not in 6.1).
vm_has_ntfs3() { grep -Eq '^CONFIG_NTFS3_FS=(y|m)' "$1/boot/config-${1##*/}"; }

# vm_exfat_ioctls KDIR: the kernel's exfat has the FAT attribute ioctls (Linux 6.7 on).
vm_exfat_ioctls() { local r=${1##*/}; dpkg --compare-versions "${r%%-*}" ge 6.7; }

# ---------------------------------------------------------------- disk images

# vm_images DIR: fresh images in DIR, each holding the entries of vm_tree with their bits set
# where a host tool can set them, and VM_DISKS naming them for vm_run:
#   fat.img    FAT32, bits set offline with mattrib                           (virtio, fixed)
#   exfat.img  exFAT, empty: no host tool writes exFAT, stage_tree fills it   (virtio, fixed)
#   ntfs.img   NTFS, bits set through ntfs-3g                                 (virtio, fixed)
#   stick.img  an MBR with one FAT32 partition at 1 MiB, as fat.img          (USB, removable)
vm_images() {
  local dir=$1
  mkdir -p "$dir"
  rm -f "$dir"/{fat,exfat,ntfs,stick}.img
  mkfs.vfat -F 32 -n ZFAT -C "$dir/fat.img" 65536 >/dev/null
  _vm_fill_fat "$dir/fat.img"

  truncate -s 16M "$dir/exfat.img"
  mkfs.exfat -L ZEXFAT "$dir/exfat.img" >/dev/null

  truncate -s 32M "$dir/ntfs.img"
  mkntfs -F -f -q -L ZNTFS "$dir/ntfs.img" >/dev/null 2>&1
  _vm_fill_ntfs "$dir/ntfs.img"

  # Sticks come partitioned: one FAT32 (LBA) partition from sector 2048, 64 MiB long.
  truncate -s 65M "$dir/stick.img"
  printf '\0\376\377\377\014\376\377\377\0\10\0\0\0\0\2\0' |
    dd of="$dir/stick.img" bs=1 seek=446 conv=notrunc status=none
  printf '\125\252' | dd of="$dir/stick.img" bs=1 seek=510 conv=notrunc status=none
  mkfs.vfat -F 32 -n ZSTICK --offset 2048 "$dir/stick.img" 65536 >/dev/null
  _vm_fill_fat "$dir/stick.img@@1M"

  VM_DISKS=("fat=vfat:$dir/fat.img" "exfat=exfat:$dir/exfat.img" "ntfs=ntfs3:$dir/ntfs.img"
            "stick=vfat:usb:$dir/stick.img")
}

_vm_fill_fat() {
  local img=$1 path kind bits flags data
  data=$(mktemp)
  while read -r path kind bits; do
    if [ "$kind" = dir ]; then
      mmd -i "$img" "::/$path"
    else
      echo "$path" >"$data"
      mcopy -i "$img" "$data" "::/$path"
    fi
    flags=()
    (( bits & 1 )) && flags+=(+r)
    (( bits & 2 )) && flags+=(+h)
    (( bits & 4 )) && flags+=(+s)
    [ ${#flags[@]} = 0 ] || mattrib -i "$img" "${flags[@]}" "::/$path"
  done < <(vm_tree)
  rm -f "$data"
}

_vm_fill_ntfs() {
  local mnt=$1.mnt path kind bits word
  vm_ntfs_mount "$1" "$mnt" || return 1
  while read -r path kind bits; do
    if [ "$kind" = dir ]; then mkdir "$mnt/$path"; else echo "$path" >"$mnt/$path"; fi
    word=$(_vm_ntfs_word "$mnt/$path")
    setfattr -h -n system.ntfs_attrib_be -v "$(printf '0x%08x' $((word | bits)))" "$mnt/$path"
  done < <(vm_tree)
  vm_ntfs_umount "$mnt"
}

_vm_ntfs_word() {
  getfattr -h -e hex -n system.ntfs_attrib_be --absolute-names "$1" 2>/dev/null |
    sed -n 's/^system.ntfs_attrib_be=//p'
}

# vm_ntfs_mount IMAGE MNT [OPTIONS]: mounts IMAGE on the folder MNT with ntfs-3g, kept in the
# foreground (no_detach) as a child of this shell so that vm_ntfs_umount can wait until it has
# written everything: on an image file the unmount returns before the driver is done.
declare -A VM_NTFS_PID=()
vm_ntfs_mount() {
  local i
  mkdir -p "$2"
  ntfs-3g -o "no_detach${3:+,$3}" "$1" "$2" >"$2.log" 2>&1 &
  VM_NTFS_PID[$2]=$!
  for ((i = 0; i < 100; i++)); do
    mountpoint -q "$2" && return 0
    sleep 0.1
  done
  echo "vm: ntfs-3g did not mount $1: $(cat "$2.log")" >&2
  return 1
}

vm_ntfs_umount() {
  umount "$1" && wait "${VM_NTFS_PID[$1]}"
  rmdir "$1"
  rm -f "$1.log"
}

# vm_fat_attrs IMAGE: every entry below the root as mtools reads it offline: "PATH 0xNN"
# (1 read-only, 2 hidden, 4 system, 0x20 archive; mattrib shows no folder bit).
vm_fat_attrs() {
  local line flags path w
  while IFS= read -r line; do
    flags=${line:0:12} path=${line#*::/}
    [ -n "$path" ] || continue
    w=0
    [[ $flags == *A* ]] && w=$((w | 0x20))
    [[ $flags == *S* ]] && w=$((w | 4))
    [[ $flags == *H* ]] && w=$((w | 2))
    [[ $flags == *R* ]] && w=$((w | 1))
    printf '%s 0x%02x\n' "$path" "$w"
  done < <(mattrib -i "$1" -/ ::/)
}

# vm_ntfs_attrs IMAGE: every entry of vm_tree as ntfs-3g reads it: "PATH 0xNNNNNNNN".
vm_ntfs_attrs() {
  local mnt=$1.mnt path
  vm_ntfs_mount "$1" "$mnt" ro || return 1
  while read -r path _; do
    echo "$path $(_vm_ntfs_word "$mnt/$path")"
  done < <(vm_tree)
  vm_ntfs_umount "$mnt"
}
