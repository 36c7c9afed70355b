#!/usr/bin/env bash
# Listing runs over the sample tree: nothing on disk changes, the log has the listing header
# and one path line per entry without result lines, and the screen shows one row per path.
# Two starts of the program:
#   1. mode "list" with the defaults: the same selection and skip lines as a clearing run;
#   2. "LIST" with the start folder ending in "\", pattern *.txt, folders off, skip mask 0
#      and the include mask in "$" notation: only hidden *.txt files, hidden+system ones
#      included, no skip lines, no doubled separator.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin list_run
began=$SECONDS
umask 022

tree=$E2E_DIR/tree
sc_sample_tree "$tree"
before=$(sc_state "$tree")
tree_win=$(wl_winpath "$tree")

# --- 1: defaults, a bare log name (placed beside the program)
mapfile -t paths < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SELECTED[@]}")
mapfile -t skips < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SKIPPED[@]}")
expected=$E2E_DIR/list1.expected
sc_expected_log "$expected" list 2 4 '*' "$tree_win" skips paths

e2e_zavero_start list1 list list1.log "$tree_win"
pid=$E2E_PID
sc_run_to_end list1 "$E2E_BIN/list1.log" 180
sc_check_outputs list1 list "$E2E_BIN/list1.log" "$expected" "$E2E_BIN_WIN\\list1.log" \
  "the log holds exactly the expected lines, no result lines" "${paths[@]}"
e2e_check_eq "list1: nothing on disk changed" "$before" "$(sc_state "$tree")"
sc_stop list1 "$pid"

# --- 2: pattern, flags and masks given explicitly
# Walk order as in run 1; candidates are the *.txt entries, files only.
txt=(
  a_hidden.txt b_hidsys.txt e_rohidden.txt
  f_hiddir/inner.txt
  g_hidsysdir/a_deep.txt g_hidsysdir/b_deep_hs.txt
  h_rohiddir/x.txt
  sub/a.txt sub/b_hs.txt sub/h_rohs.txt 'sub/i with blanks.txt'
  sub/f_hdir/g/leaf.txt
  sub/j_dir.txt/z.txt
)
mapfile -t paths < <(sc_winpaths "$tree_win" "${txt[@]}")
expected=$E2E_DIR/list2.expected
none=()
sc_expected_log "$expected" list 2 0 '*.txt' "$tree_win\\" none paths

e2e_zavero_start list2 LIST list2.log "$tree_win\\" '*.txt' 0 1 0 '$2'
pid=$E2E_PID
sc_run_to_end list2 "$E2E_BIN/list2.log" 180
sc_check_outputs list2 list "$E2E_BIN/list2.log" "$expected" "$E2E_BIN_WIN\\list2.log" \
  "hidden *.txt files only, hidden+system ones too, no skip lines" "${paths[@]}"
e2e_check_eq "list2: nothing on disk changed" "$before" "$(sc_state "$tree")"
sc_stop list2 "$pid"

echo "# list_run took $((SECONDS - began)) s"
e2e_end
