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
sc_sample_tree "$tree"
before=$(sc_state "$tree")
mkdir -p "$E2E_DIR/logs"
log=$E2E_DIR/logs/clear.log
log_win=$(wl_winpath "$log")
tree_win=$(wl_winpath "$tree")
mapfile -t paths < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SELECTED[@]}")
mapfile -t skips < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SKIPPED[@]}")

expected=$E2E_DIR/clear.expected
sc_expected_log "$expected" clear 2 4 '*' "$tree_win" skips paths

# The mode in mixed case: the program upper-cases it before comparing.
e2e_zavero_start clear Clear "$log_win" "$tree_win"
pid=$E2E_PID
sc_run_to_end clear "$log" 180

sc_check_outputs clear clear "$log" "$expected" "$log_win" \
  "the log holds exactly the expected lines (CR LF, skip lines only below the start folder)" \
  "${paths[@]}"

# On disk: the selected entries lost exactly the hidden bit, nothing else changed (modes,
# so the read-only bit, included).
after=$(sc_state "$tree")
e2e_check_eq "on disk exactly the selected entries lost the hidden bit, nothing else changed" \
  "$(sc_state_cleared "$before" "${SC_SAMPLE_SELECTED[@]}")" "$after"
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
