# shellcheck shell=sh
# Runs inside the test machine (see tools/vm/init): reads the attribute word of every entry on
# each mounted disk, clears the hidden bit of one entry per disk, and reads everything again
# after a remount, so the second reading comes from the disk. exFAT is filled here first: no
# host tool writes it.

# The entry cleared on each disk: a folder, a file with the system bit, a folder with the
# system bit, a nested file.
target() {
  case $1 in fat) echo hdir ;; exfat) echo hs.txt ;; ntfs) echo hsdir ;; stick) echo plaindir/h.txt ;; esac
}

report() {
  say "$1 $2 . $(word "/mnt/$2")"
  while read -r path _; do say "$1 $2 $path $(word "/mnt/$2/$path")"; done </vm/tree.txt
}

if [ -d /mnt/exfat ]; then
  if stage_tree /mnt/exfat; then say "stage exfat ok"; else say "stage exfat refused"; fi
fi

for fs in fat exfat ntfs stick; do
  grep -q " /mnt/$fs " /proc/mounts || continue
  say "disk $(probe disk "/mnt/$fs")"
  report before "$fs"
  t=$(target "$fs")
  w=$(word "/mnt/$fs/$t")
  # Written as zavero writes: the word read, less the hidden bit and either folder flag.
  case $w in 0x*) w=$(printf '0x%x' $((w & ~0x10000012))) ;; *) w=0 ;; esac
  say "clear $fs $t $(set_word "$w" "/mnt/$fs/$t")"
  # The volume's root folder, asked to become hidden (ntfs3 would store the folder flag it
  # reports, so it is not asked).
  r=$(word "/mnt/$fs")
  case $r in 0x*) r=$(printf '0x%x' $((r | 2))) ;; *) r=0x12 ;; esac
  [ "$fs" = ntfs ] || say "root $fs $(set_word "$r" "/mnt/$fs")"
  remount "/mnt/$fs" || say "remount $fs failed"
  report after "$fs"
  if intact "/mnt/$fs"; then say "intact $fs yes"; else say "intact $fs no"; fi
done
