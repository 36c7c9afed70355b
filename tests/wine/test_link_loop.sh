#!/usr/bin/env bash
# Symbolic links below the start folder. Wine lists a symbolic link to a folder as a folder
# with the reparse-point bit (0x410), which is what the walk's cycle guard looks for:
#   a/b/loop -> ..     leads back to its own ancestor a: listed, but never walked;
#   c/side   -> ../a   leads to a folder off its own path: walked once, like any folder,
#                      and the loop inside it (c/side/b/loop, again a) is not walked.
# Without the guard the walk would follow a\b\loop\b\loop... until the path limit and log
# the files on every turn. A clearing run, so the second path of each file (through c/side)
# meets an entry whose hidden bit the first path already removed: nothing is written and the
# check still finds what it read. One start of the program.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin link_loop
began=$SECONDS
umask 022

tree=$E2E_DIR/tree
sc_tree_make "$tree" <<'TREE'
d -     a
f 0x2   a/h.txt
d -     a/b
f 0x2   a/b/k.txt
d -     c
TREE
ln -s .. "$tree/a/b/loop"
ln -s ../a "$tree/c/side"
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/loop.log

# Walk order: a, a\b, c, c\side, c\side\b.
mapfile -t paths < <(sc_winpaths "$tree_win" a/h.txt a/b/k.txt c/side/h.txt c/side/b/k.txt)
expected=$E2E_DIR/loop.expected
none=()
sc_expected_log "$expected" clear 2 4 '*' "$tree_win" none paths

e2e_zavero_start loop CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
sc_run_to_end loop "$log" 180
sc_check_outputs loop clear "$log" "$expected" "$(wl_winpath "$log")" \
  "the log: a link back to an ancestor is not walked, a link elsewhere once" "${paths[@]}"
e2e_check_eq "both files lost the hidden bit" "0x0 0x0" \
  "$(wl_attr_get "$tree/a/h.txt") $(wl_attr_get "$tree/a/b/k.txt")"
e2e_check_eq "the links are still links to the same folders" "../a .." \
  "$(readlink "$tree/c/side") $(readlink "$tree/a/b/loop")"

sc_stop loop "$pid"
echo "# link_loop took $((SECONDS - began)) s"
e2e_end
