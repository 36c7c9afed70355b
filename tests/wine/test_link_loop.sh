#!/usr/bin/env bash
# Symbolic links below the start folder. Wine lists a symbolic link to a folder as a folder
# with the reparse-point bit (0x410) and no reparse tag, which the walk takes for a link: an
# entry of its own, never entered, wherever it points:
#   a/b/loop -> ..     leads back to its own ancestor a;
#   c/side   -> ../a   leads to a folder off its own path;
#   m0..m9             each links to all the others (m0/l1 -> ../m1 ...): were links
#                      entered, every order of the ten would be walked (days).
# So each folder is walked once, by its own path, and each hidden file is cleared once.
# One start of the program.
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
for i in {0..9}; do printf 'd - m%s\nf 0x2 m%s/h.txt\n' "$i" "$i"; done | sc_tree_make "$tree"
for i in {0..9}; do for j in {0..9}; do [ "$i" = "$j" ] || ln -s "../m$j" "$tree/m$i/l$j"; done; done
ln -s .. "$tree/a/b/loop"
ln -s ../a "$tree/c/side"
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/loop.log

# Walk order: a, a\b, c, m0 ... m9.
mapfile -t paths < <(sc_winpaths "$tree_win" a/h.txt a/b/k.txt m{0..9}/h.txt)
expected=$E2E_DIR/loop.expected
none=()
sc_expected_log "$expected" clear 2 4 '*' "$tree_win" none paths

e2e_zavero_start loop CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
sc_run_to_end loop "$log" 180
sc_check_outputs loop clear "$log" "$expected" "$(wl_winpath "$log")" \
  "the log: no link is walked, every folder once" "${paths[@]}"
e2e_check_eq "both files lost the hidden bit" "0x0 0x0" \
  "$(wl_attr_get "$tree/a/h.txt") $(wl_attr_get "$tree/a/b/k.txt")"
e2e_check_eq "the links are still links to the same folders" "../a .." \
  "$(readlink "$tree/c/side") $(readlink "$tree/a/b/loop")"

sc_stop loop "$pid"
echo "# link_loop took $((SECONDS - began)) s"
e2e_end
