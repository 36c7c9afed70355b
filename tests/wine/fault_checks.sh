# shellcheck shell=bash
# Helpers shared by the fault scenarios (test_faults_*.sh): trees of many entries made quickly,
# and refusals only Linux can stage (an immutable file, a read-only mount). Source it after
# lib.sh and scan_checks.sh.

# ---------------------------------------------------------------- trees

# fc_attrs ROOT BITS REL...: gives the entries ROOT/REL the hidden/system BITS (0x2, 0x4,
# 0x6) in one call of setfattr, for trees of thousands of entries.
fc_attrs() {
  local root=$1 bits=$2 rel name; shift 2
  for rel in "$@"; do
    _fc_octal "$rel"
    printf '# file: %s\nuser.DOSATTRIB="%s"\n\n' "$name" "$bits"
  done | (cd "$root" && setfattr --restore=-)
}
# _fc_octal NAME: sets `name` to NAME as getfattr writes it in a dump (and setfattr reads it
# back): every byte but letters, digits and ._/- as a backslash and three octal digits, so
# that blanks at either end and bytes beyond ASCII survive.
_fc_octal() {
  local LC_ALL=C s=$1 c i o
  name=$s
  [[ $s == *[!A-Za-z0-9._/-]* ]] || return 0
  name=''
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in [A-Za-z0-9._/-]) name+=$c ;; *) printf -v o '\\%03o' "'$c"; name+=$o ;; esac
  done
}

# fc_bits_of ROOT REL...: the hidden/system bits of each ROOT/REL, blank-separated.
fc_bits_of() {
  local root=$1 rel out=''; shift
  for rel in "$@"; do out+="$(wl_attr_get "$root/$rel") "; done
  printf '%s\n' "${out% }"
}

# ---------------------------------------------------------------- staged refusals

# fc_release_leftovers NAME: a scenario that stages read-only mounts or immutable files
# calls this before e2e_begin: what an earlier, interrupted run of scenario NAME left in its
# folder (mounts, immutable entries) is undone, so that the folder can be emptied.
fc_release_leftovers() {
  local build=${ZAVERO_BUILD:-$(wl_build_dir "$PWD")} dir m
  [ -n "$build" ] || return 0
  dir=$(readlink -m "$build/e2e/$1")
  [ -d "$dir" ] || return 0
  findmnt -rn -o TARGET | LC_ALL=C sort -r | while read -r m; do
    case $m in "$dir"/*) umount "$m" 2>/dev/null ;; esac
  done
  chattr -R -i "$dir" 2>/dev/null
  return 0
}

# fc_immutable FILE: makes FILE immutable (chattr +i: even root cannot change it, its
# extended attributes included); undone when the scenario ends. Fails where the file system
# or the rights do not allow it.
fc_immutable() {
  chattr +i "$1" 2>/dev/null || return 1
  wl_on_exit chattr -i "$1"
}

# fc_mount_ro SOURCE TARGET: shows the folder SOURCE at TARGET through a read-only bind
# mount; undone when the scenario ends. Fails without the rights to mount.
fc_mount_ro() {
  mkdir -p "$2"
  mount --bind -o ro "$1" "$2" 2>/dev/null || return 1
  wl_on_exit umount "$2"
}
