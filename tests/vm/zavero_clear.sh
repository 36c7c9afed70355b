# shellcheck shell=sh
# Runs inside the test machine (see tools/vm/init): the Linux zavero on the kernel's own FAT,
# exFAT and NTFS drivers and a USB stick, with an ext4 disk beside them that keeps Samba's store.
# Every run writes a log; the host gets its status, its standard error and its log, and after each
# clearing run the words of every entry, read with the probe after a remount.

mkdir -p /tmp

# zv NAME MODE START [PATTERN FOLDERS FILES SKIP INCLUDE]: zavero with the log /tmp/NAME.log.
zv() {
  zv_name=$1 zv_mode=$2
  shift 2
  zavero "$zv_mode" "/tmp/$zv_name.log" "$@" >/dev/null 2>"/tmp/$zv_name.err"
  say "status $zv_name $?"
  while IFS= read -r zv_line; do say "err $zv_name $zv_line"; done <"/tmp/$zv_name.err"
  while IFS= read -r zv_line; do say "log $zv_name $zv_line"; done <"/tmp/$zv_name.log"
}

# exFAT is filled here: no host tool writes its attributes.
if stage_tree /mnt/exfat; then say "stage exfat ok"; else say "stage exfat refused"; fi

# Named as the start folder, the ext4 disk's hidden entry is found ...
zv rest LIST /mnt/rest
# ... but without one only the disks with DOS attributes of their own are walked.
zv drives LIST ""
# The folder holding the mount points keeps no attributes itself; the walk goes on into them.
zv below LIST /mnt

for fs in fat exfat ntfs stick; do
  grep -q " /mnt/$fs " /proc/mounts || continue
  zv "$fs" CLEAR "/mnt/$fs"
  remount "/mnt/$fs" || say "remount $fs failed"
  while read -r path _; do say "word $fs $path $(word "/mnt/$fs/$path")"; done </vm/tree.txt
  if intact "/mnt/$fs"; then say "intact $fs yes"; else say "intact $fs no"; fi
done

# Every entry selected (include mask 0, nothing skipped): where the kernel offers no attributes
# each one ends "...not changed!".
zv exfat0 CLEAR /mnt/exfat "*" 1 1 0 0

# A cache drop between the listing and the clearing: vfat and exFAT number an entry anew when
# they read it in again. The walk lists drop/h.txt, then 300 folders keep it busy (5 ms each);
# the caches are dropped once it has logged the skip line of the first, while it still walks.
for fs in fat exfat; do
  d=/mnt/$fs/drop
  mkdir "$d" && echo h >"$d/h.txt"
  if [ "$(set_word 0x22 "$d/h.txt")" = ok ]; then
    for i in $(seq 0 299); do mkdir -p "$d/d/s$i"; done
    echo hs >"$d/d/s0/hs.txt" && set_word 0x26 "$d/d/s0/hs.txt" >/dev/null
    (until grep -qs skipped "/tmp/drop$fs.log"; do usleep 10000; done
     echo 3 >/proc/sys/vm/drop_caches
     say "drop$fs $(grep -q clearing "/tmp/drop$fs.log" && echo late || echo dropped)") &
    zv "drop$fs" CLEAR "$d"
  fi
  rm -r "$d"
done
