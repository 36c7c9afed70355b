#!/usr/bin/env bash
# Writes that only Linux can refuse, in one clearing run:
#   - d_imm\h1.txt, an immutable file (chattr +i): Wine refuses its attribute write with
#     ERROR_ACCESS_DENIED, so "...not changed!", while its neighbour h2.txt is cleared;
#   - e_ro, the root of a read-only bind mount, hidden itself and holding a hidden file:
#     both writes refused (ERROR_ACCESS_DENIED), "...not changed!";
# and the walk goes on past them: g_after and its subfolder are walked and cleared, the skip
# line below them is logged, the log and the screen end with "finished!". Neither Unix
# permissions (root passes them) nor dangling or looping symbolic links (Wine leaves them out
# of every listing) make a refusal under Wine, so they are not used. Folders that go away
# under the walk are the end-to-end runner's (zavero_e2e.exe, on Windows too). One start.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
fc_release_leftovers faults_walk
e2e_begin faults_walk
umask 022

tree=$E2E_DIR/tree
sc_tree_make "$tree" <<'TREE'
d -     d_imm
f 0x2   d_imm/h1.txt
f 0x2   d_imm/h2.txt
d -     g_after
f 0x2   g_after/h.txt
f 0x6   g_after/s.txt
d -     g_after/deep
f 0x2   g_after/deep/h.txt
TREE
# The folder the read-only mount shows lies outside the tree, so it is walked once.
sc_tree_make "$E2E_DIR/ro-source" <<'TREE'
f 0x2   x.txt
TREE
wl_attr_set "$E2E_DIR/ro-source" 0x2
mkdir -p "$tree/e_ro"
imm=refused ro=refused
if ! fc_immutable "$tree/d_imm/h1.txt"; then
  imm=cleared; echo "# cannot make a file immutable here (chattr +i): d_imm\\h1.txt is cleared like h2.txt"
fi
if ! fc_mount_ro "$E2E_DIR/ro-source" "$tree/e_ro"; then
  ro=cleared; echo "# cannot mount read-only here: e_ro is an ordinary folder and is cleared"
  rmdir "$tree/e_ro"; cp -a "$E2E_DIR/ro-source" "$tree/e_ro"
fi
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/walk.log

# The expected log: the start folder's own hidden entry (e_ro), then the walk in Wine's
# order (by name): d_imm, e_ro, g_after, g_after\deep.
w() { printf '%s\\%s' "$tree_win" "${1//\//\\}"; }
result() { if [ "$1" = refused ]; then echo "     ...not changed!"; else echo "     ...sucsess!"; fi; }
expected_lines=(
  "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4'
  'searching files: *' "search in folder: $tree_win"
  " skipped (attributes \$4): $(w g_after/s.txt)"
  " clearing..."
  "   $(w e_ro)" "$(result "$ro")"
  "   $(w d_imm/h1.txt)" "$(result "$imm")"
  "   $(w d_imm/h2.txt)" "     ...sucsess!"
  "   $(w e_ro/x.txt)" "$(result "$ro")"
  "   $(w g_after/h.txt)" "     ...sucsess!"
  "   $(w g_after/deep/h.txt)" "     ...sucsess!"
  "$(sc_left_alone 1 4 '*' 2)"
  "finished!"
)
sc_crlf "${expected_lines[@]}" >"$E2E_DIR/walk.expected"
paths=("$(w e_ro)" "$(w d_imm/h1.txt)" "$(w d_imm/h2.txt)" "$(w e_ro/x.txt)" "$(w g_after/h.txt)"
  "$(w g_after/deep/h.txt)")

e2e_zavero_start walk CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
sc_run_to_end walk "$log" 180
sc_check_outputs walk clear "$log" "$E2E_DIR/walk.expected" "$(wl_winpath "$log")" \
  "the log: \"not changed!\" for the refused writes, everything after them treated" "${paths[@]}"

# On disk.
e2e_check_eq "the entries that could be treated were cleared" "0x0 0x0 0x0" \
  "$(fc_bits_of "$tree" d_imm/h2.txt g_after/h.txt g_after/deep/h.txt)"
e2e_check_eq "the skipped entry is untouched" 0x6 "$(wl_attr_get "$tree/g_after/s.txt")"
if [ "$imm" = refused ]; then
  e2e_check_eq "the immutable file keeps its hidden bit" 0x2 "$(wl_attr_get "$tree/d_imm/h1.txt")"
fi
if [ "$ro" = refused ]; then
  e2e_check_eq "the read-only mount and its file keep their hidden bits" "0x2 0x2" "$(fc_bits_of "$tree" e_ro e_ro/x.txt)"
fi

sc_stop walk "$pid"
e2e_end
