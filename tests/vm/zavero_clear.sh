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
if stage_tree /mnt/exfat; then
  say "stage exfat ok"
  drop_disks="fat exfat"
else
  say "stage exfat refused"
  drop_disks=fat
fi

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
# they read it in again, and the run clears it all the same. The walk lists drop/h.txt first,
# then 300 folders keep it busy (5 ms each); the caches are dropped once it has logged the skip
# line of the first one, while it still walks ("early" says whether the clearing had begun).
for fs in $drop_disks; do
  d=/mnt/$fs/drop
  mkdir -p "$d/d"
  i=0
  while [ $i -lt 300 ]; do mkdir "$d/d/s$i"; i=$((i + 1)); done
  for f in h.txt:0x22 d/s0/hs.txt:0x26 d/s299/h.txt:0x22; do
    echo "${f%:*}" >"$d/${f%:*}" && set_word "${f#*:}" "$d/${f%:*}" >/dev/null
  done
  zavero CLEAR "/tmp/drop-$fs.log" "$d" >/dev/null 2>/tmp/drop.err &
  pid=$! i=0
  until grep -q skipped "/tmp/drop-$fs.log" 2>/dev/null || [ $i -ge 3000 ]; do usleep 10000; i=$((i + 1)); done
  echo 3 >/proc/sys/vm/drop_caches
  if grep -q clearing "/tmp/drop-$fs.log"; then early=yes; else early=no; fi
  wait $pid
  say "drop $fs status $? early $early"
  while IFS= read -r zv_line; do say "err drop $zv_line"; done </tmp/drop.err
  grep '^   ' "/tmp/drop-$fs.log" | while IFS= read -r zv_line; do say "log drop $fs $zv_line"; done
  rm -rf "$d"
done
