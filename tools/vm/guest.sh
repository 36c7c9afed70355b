# shellcheck shell=sh
# Helpers for the run scripts inside the test machine (busybox sh), sourced by /init.

# say TEXT: a result line for the host (vm_results).
say() { echo "ZVM: $*"; }

# word PATH: the entry's attribute word as the probe reads it (0x........ or an errno name).
word() { set -- "$(probe get "$1")"; echo "${1##* }"; }

# set_word WORD PATH: writes the word through the probe; prints ok or the errno name.
set_word() { set -- "$(probe set "$1" "$2")"; echo "${1##* }"; }

# stage_tree DIR: makes the entries of /vm/tree.txt under DIR (each file holds its own path)
# and adds their bits through the probe, for file systems no host tool can write. Fails when
# the kernel refuses a write.
stage_tree() {
  st_rc=0
  while read -r st_path st_kind st_bits; do
    if [ "$st_kind" = dir ]; then mkdir "$1/$st_path"; else echo "$st_path" >"$1/$st_path"; fi
    st_word=$(word "$1/$st_path")
    case $st_word in
      0x*) [ "$(set_word "$(printf '0x%x' $((st_word | st_bits)))" "$1/$st_path")" = ok ] || st_rc=1 ;;
      *) st_rc=1 ;;
    esac
  done </vm/tree.txt
  return $st_rc
}

# intact DIR: every file of the tree is there and holds its own path.
intact() {
  while read -r in_path in_kind _; do
    [ "$in_kind" = dir ] && { [ -d "$1/$in_path" ] || return 1; continue; }
    [ "$(cat "$1/$in_path" 2>/dev/null)" = "$in_path" ] || return 1
  done </vm/tree.txt
}

# remount MOUNTPOINT: unmounts and mounts again, so what is read next comes from the disk.
remount() {
  set -- "$1" "$(awk -v m="$1" '$2 == m { print $1, $3 }' /proc/mounts)"
  umount "$1" && mount -t "${2#* }" "${2%% *}" "$1"
}
