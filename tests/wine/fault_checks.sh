# shellcheck shell=bash
# Helpers shared by the fault scenarios (test_faults_*.sh): pausing the program at a known point
# of its walk, trees of many entries made quickly, and refusals only Linux can stage (an
# immutable file, a read-only mount). Source it after lib.sh and scan_checks.sh.
#
# Pausing: where a check needs to know exactly where the walk was when something changed
# under it, the scenario freezes the program's process, makes the change, reads the walk's
# row 3 once the console has drawn everything the program wrote, and lets it go on. The
# program cannot tell. SIGSTOP does not stop a 32-bit Wine program on this machine (the
# process stays running under its emulator), so the freezer of the control groups does it:
# the program alone is moved into a group of its own, which is frozen and thawed.

# ---------------------------------------------------------------- pausing the program

FC_FREEZER_ROOT=/sys/fs/cgroup/freezer

# fc_freezable PID: moves the process PID (all its threads) into a freezer group of its own;
# the group is thawed and removed when the scenario ends.
fc_freezable() {
  local group=$FC_FREEZER_ROOT/zavero-e2e-$$-$1
  mkdir -p "$group" && echo "$1" >"$group/cgroup.procs" || return 1
  wl_on_exit _fc_freezer_remove "$group"
}
_fc_freezer_remove() {
  local p
  echo THAWED >"$1/freezer.state"
  while read -r p; do echo "$p" >"$FC_FREEZER_ROOT/cgroup.procs"; done <"$1/cgroup.procs"
  rmdir "$1"
}

# fc_freeze PID / fc_thaw PID: stops the process PID (made fc_freezable first) where it is,
# and lets it go on. fc_freeze returns once every thread is stopped.
fc_freeze() {
  local group=$FC_FREEZER_ROOT/zavero-e2e-$$-$1
  echo FROZEN >"$group/freezer.state" || return 1
  wl_wait_until 10 grep -qx FROZEN "$group/freezer.state"
}
fc_thaw() { echo THAWED >"$FC_FREEZER_ROOT/zavero-e2e-$$-$1/freezer.state"; }

# fc_row_settled CONSOLE ROW: the row once it has stopped changing (the console draws what
# the program wrote a moment later; with the program stopped it catches up and stays).
fc_row_settled() {
  local a b i
  a=$(wl_row "$1" "$2")
  for i in $(seq 1 25); do
    sleep 0.3
    b=$(wl_row "$1" "$2")
    [ "$a" = "$b" ] && { printf '%s\n' "$a"; return 0; }
    a=$b
  done
  printf '%s\n' "$a"
}

# ---------------------------------------------------------------- the walk's progress

# fc_walk_index CONSOLE PREFIX: the number N of the folder PREFIX\N that row 3 shows being
# walked (" scanning folder ...\PREFIX\NNN"), without leading zeros; -1 when row 3 shows
# something else.
fc_walk_index() { _fc_index "$(wl_row "$1" 3)" "$2"; }
_fc_index() {
  local re="\\\\$2\\\\0*([0-9]+)\$"
  if [[ $1 == " scanning folder "* && $1 =~ $re ]]; then echo "${BASH_REMATCH[1]}"; else echo -1; fi
}

# fc_wait_index CONSOLE PREFIX N SECONDS: waits until the walk has got to PREFIX\N or beyond.
fc_wait_index() { wl_wait_until "$4" _fc_index_at_least "$1" "$2" "$3"; }
_fc_index_at_least() { [ "$(fc_walk_index "$1" "$2")" -ge "$3" ]; }

# fc_settled_index CONSOLE PREFIX: fc_walk_index once the console has caught up with a
# stopped program.
fc_settled_index() { _fc_index "$(fc_row_settled "$1" 3)" "$2"; }

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
