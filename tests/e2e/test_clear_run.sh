#!/usr/bin/env bash
# A clearing run over a start folder with hidden, hidden+system, system, plain and read-only
# files and folders at several depths. Afterwards exactly the selected entries have lost the
# hidden bit and nothing else on disk has changed; the log holds exactly the expected bytes;
# the screen shows the banner, the log path, the found count, the phase line, one row per
# path and "finished!". One start of the program.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin clear_run
began=$SECONDS
umask 022

tree=$E2E_DIR/tree
# KIND BITS PATH (see wl_tree_make): r = read-only, 0x2 hidden, 0x4 system, 0x6 both.
sc_tree_make "$tree" <<'TREE'
f 0x2   a_hidden.txt
f 0x6   b_hidsys.txt
f 0x4   c_system.txt
f -     d_plain.txt
f r0x2  e_rohidden.txt
d 0x2   f_hiddir
f 0x2   f_hiddir/inner.txt
d 0x6   g_hidsysdir
f 0x2   g_hidsysdir/a_deep.txt
f 0x6   g_hidsysdir/b_deep_hs.txt
d r0x2  h_rohiddir
f 0x2   h_rohiddir/x.txt
d -     sub
f 0x2   sub/a.txt
f 0x6   sub/b_hs.txt
f 0x4   sub/c_sys.txt
f r-    sub/d_ro.txt
d 0x6   sub/e_hsdir
d 0x2   sub/f_hdir
d 0x2   sub/f_hdir/g
f 0x2   sub/f_hdir/g/leaf.txt
d 0x4   sub/g_sysdir
f r0x6  sub/h_rohs.txt
f 0x2   sub/i with blanks.txt
d 0x2   sub/j_dir.txt
f 0x2   sub/j_dir.txt/z.txt
TREE
before=$(sc_state "$tree")
mkdir -p "$E2E_DIR/logs"
log=$E2E_DIR/logs/clear.log
log_win=$(wl_winpath "$log")
tree_win=$(wl_winpath "$tree")

# Walk order: the start folder's own entries, then f_hiddir, g_hidsysdir, h_rohiddir, sub,
# sub\e_hsdir, sub\f_hdir, sub\f_hdir\g, sub\g_sysdir, sub\j_dir.txt (listings in name order).
# The start folder's own hidden+system entries are left out without a skip line; those below
# it get one each.
selected=(
  a_hidden.txt e_rohidden.txt f_hiddir h_rohiddir
  f_hiddir/inner.txt
  g_hidsysdir/a_deep.txt
  h_rohiddir/x.txt
  sub/a.txt sub/f_hdir 'sub/i with blanks.txt' sub/j_dir.txt
  sub/f_hdir/g
  sub/f_hdir/g/leaf.txt
  sub/j_dir.txt/z.txt
)
skipped=(g_hidsysdir/b_deep_hs.txt sub/b_hs.txt sub/e_hsdir sub/h_rohs.txt)
win() { local p="$tree_win\\$1"; printf '%s\n' "${p//\//\\}"; }

expected_log=$E2E_DIR/clear.expected
{
  sc_crlf "QOR_ZAVERO has been started..." "Clear attributes: \$2" "skip attributes: \$4" \
    "searching files: *" "search in folder: $tree_win"
  for rel in "${skipped[@]}"; do sc_crlf " skipped (attributes \$4): $(win "$rel")"; done
  sc_crlf " clearing..."
  for rel in "${selected[@]}"; do sc_crlf "   $(win "$rel")" "     ...sucsess!"; done
  sc_crlf "finished!"
} >"$expected_log"

# The mode in mixed case: the program upper-cases it before comparing.
e2e_zavero_start clear Clear "$log_win" "$tree_win"
pid=$E2E_PID
sc_run_to_end clear "$log" 180

sc_check_file "the log holds exactly the expected lines (CR LF, skip lines only below the start folder)" \
  "$log" "$expected_log"

paths=()
for rel in "${selected[@]}"; do paths+=("$(win "$rel")"); done
sc_check_frame clear 0 "$log_win" $((${#selected[@]} - 1)) " clearing..."
sc_check_rows clear "${paths[@]}"

# On disk: the selected entries lost exactly the hidden bit, nothing else changed (modes,
# so the read-only bit, included).
after=$(sc_state "$tree")
e2e_check_eq "on disk exactly the selected entries lost the hidden bit, nothing else changed" \
  "$(sc_state_cleared "$before" "${selected[@]}")" "$after"
no_attr() { ! getfattr -n user.DOSATTRIB "$tree/$1" >/dev/null 2>&1; }
e2e_check "a hidden file keeps no DOS attribute at all" no_attr a_hidden.txt
e2e_check "a hidden folder keeps no DOS attribute at all" no_attr sub/f_hdir
e2e_check_eq "a hidden+system file in the start folder is untouched" 0x6 "$(wl_attr_get "$tree/b_hidsys.txt")"
e2e_check_eq "a hidden+system folder is untouched" 0x6 "$(wl_attr_get "$tree/sub/e_hsdir")"
e2e_check_eq "a system file is untouched" 0x4 "$(wl_attr_get "$tree/sub/c_sys.txt")"
if [ "$(id -u)" = 0 ]; then
  e2e_check_eq "read-only + hidden file: still read-only, hidden gone" "444 0x0" \
    "$(stat -c %a "$tree/e_rohidden.txt") $(wl_attr_get "$tree/e_rohidden.txt")"
  e2e_check_eq "read-only + hidden folder: still read-only, hidden gone" "555 0x0" \
    "$(stat -c %a "$tree/h_rohiddir") $(wl_attr_get "$tree/h_rohiddir")"
  e2e_check_eq "read-only + hidden + system file is untouched" "444 0x6" \
    "$(stat -c %a "$tree/sub/h_rohs.txt") $(wl_attr_get "$tree/sub/h_rohs.txt")"
fi

sc_stop clear "$pid"
echo "# clear_run took $((SECONDS - began)) s"
e2e_end
