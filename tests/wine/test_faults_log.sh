#!/usr/bin/env bash
# The run log in trouble, in one clearing run over 400 folders that each give one skip line
# (so the log's lines show how far the walk had got):
#   1. another program holds the log without sharing from before the start: the header and
#      every line until it lets go are lost, the log of the earlier run is not emptied, and
#      the lines after it let go land behind that old content;
#   2. another program takes the log again in the middle of the walk: exactly the lines
#      written while it holds the log are lost, the ones before and after are there;
#   3. the log is deleted in the middle of the walk: the next line creates it anew, without
#      header, and the run appends the rest to it;
# and the run still ends with "finished!" in the log and on screen, and clears its files;
#   4. a log's folder missing, a link or a FIFO at its name: said on the "Writing to: " row.
# Where a boundary matters the program is frozen (see fault_checks.sh) so that the exact line
# is known. One start of the program for 1 to 3.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_log
began=$SECONDS
umask 022
FC_HOLDFILE=$(fc_tool holdfile)

n=400
tree=$E2E_DIR/tree
mkdir -p "$tree/c"
mapfile -t skipped < <(for ((i = 0; i < n; i++)); do printf 'b/%03d/s.txt\n' "$i"; done)
for rel in "${skipped[@]}"; do mkdir -p "$tree/${rel%/*}"; : >"$tree/$rel"; done
fc_attrs "$tree" 0x6 "${skipped[@]}"
for f in h1 h2 h3; do : >"$tree/c/$f.txt"; done
fc_attrs "$tree" 0x2 c/h1.txt c/h2.txt c/h3.txt
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/logs/faults.log
mkdir -p "${log%/*}"
log_win=$(wl_winpath "$log")

mapfile -t paths < <(sc_winpaths "$tree_win" c/h1.txt c/h2.txt c/h3.txt)
mapfile -t skips < <(sc_winpaths "$tree_win" "${skipped[@]}")
sc_expected_log "$E2E_DIR/expected" clear 2 4 '*' "$tree_win" skips paths
fc_lines "$E2E_DIR/expected"
expected=("${FC_LINES[@]}")
skip0=5   # index in `expected` of the skip line of b\000; b\N's is skip0 + N

# An earlier run's log, held by another program from before the start.
old="a line of an earlier run"
printf '%s\r\n' "$old" >"$log"
e2e_require "1: another program holds the log" fc_hold_start h1 "$log"
e2e_zavero_start run CLEAR "$log_win" "$tree_win"
pid=$E2E_PID
e2e_require "the program can be paused (freezer group)" fc_freezable "$pid"
e2e_require "1: the walk gets to b\\040" fc_wait_index run b 40 120
fc_freeze "$pid"
p1=$(fc_settled_index run b)
e2e_check "1: the holder lets go (program paused at b\\$p1)" fc_hold_end h1
fc_thaw "$pid"
e2e_check_eq "1: the screen shows the log path all the same" "Writing to: $log_win" "$(wl_row run 1)"

# 2: held again a while later, taken while the program is frozen between two lines: the log
# as it stands then is all that came before.
e2e_require "2: the walk gets 30 folders further" fc_wait_index run b $((p1 + 30)) 120
e2e_require "2: the program paused between two lines" fc_freeze_between_lines "$pid" "$log"
e2e_require "2: another program holds the log again" fc_hold_start h2 "$log"
cp "$log" "$E2E_DIR/at-hold2.log"
q=$(fc_settled_index run b)
fc_thaw "$pid"
e2e_require "2: the walk gets 30 folders further while it is held" \
  fc_wait_index run b $((q + 30)) 120
fc_freeze "$pid"
p2=$(fc_settled_index run b)
e2e_check "2: the holder lets go (program paused at b\\$p2)" fc_hold_end h2
fc_thaw "$pid"

# 3: deleted between two lines, with the program paused so that no line is under way.
e2e_require "3: the walk gets 30 folders further" fc_wait_index run b $((p2 + 30)) 120
e2e_require "3: the program paused between two lines" fc_freeze_between_lines "$pid" "$log"
p3=$(fc_settled_index run b)
cp "$log" "$E2E_DIR/at-delete.log"
rm "$log"
fc_thaw "$pid"
echo "# paused at b\\$p1 (end of hold 1), b\\$q and b\\$p2 (hold 2), b\\$p3 (log deleted)"

sc_run_to_end run "$log" 180

# --- what the log held when it was deleted: the old line, then a run of lines from where
# the first hold ended, then (after the second hold) a run from where that one ended.
e2e_require "the log before the deletion: whole lines only" fc_lines "$E2E_DIR/at-delete.log"
deleted=("${FC_LINES[@]}")
e2e_check_eq "1: the earlier run's log was not emptied (the header could not be written)" \
  "$old" "${deleted[0]}"
# Hold 1 ended with the program at b\p1: b\p1's skip line may have come before or after.
a=$(fc_index_of "${deleted[1]:-}" expected)
e2e_check "1: lost: the header and the lines up to b\\$((p1 - 1)); kept: from b\\$((p1 + 1)) on (first kept: line $a)" \
  test "$a" -ge $((skip0 + p1)) -a "$a" -le $((skip0 + p1 + 1))
e2e_require "2: the log when the second hold began: whole lines only" fc_lines "$E2E_DIR/at-hold2.log"
held=${#FC_LINES[@]}
printf '%s\r\n' "$old" >"$E2E_DIR/at-hold2.model"
fc_slice_file "$E2E_DIR/at-hold2.model" expected "$a" $((a + held - 1))
sc_check_file "1: from there on every line landed until the second hold began" \
  "$E2E_DIR/at-hold2.log" "$E2E_DIR/at-hold2.model"
gap=$((a + held - 1))      # the first line written while held the second time
b=$(fc_index_of "${deleted[held]:-}" expected)
e2e_check "2: lost: exactly the lines from the one after the last landed ($gap) up to b\\$((p2 - 1)); kept from b\\$((p2 + 1)) on (first kept: line $b)" \
  test "$b" -ge $((skip0 + p2)) -a "$b" -le $((skip0 + p2 + 1)) -a "$gap" -lt $((b - 20))
cp "$E2E_DIR/at-hold2.log" "$E2E_DIR/at-delete.model"
fc_slice_file "$E2E_DIR/at-delete.model" expected "$b" $((b + ${#deleted[@]} - held))
sc_check_file "2: from there on every line landed until the log was deleted" \
  "$E2E_DIR/at-delete.log" "$E2E_DIR/at-delete.model"

# --- the log the run made anew: the rest of the run, without header, nothing lost.
d=$((b + ${#deleted[@]} - held))
e2e_check "3: the log was deleted at b\\$p3, between two lines (next line $d)" \
  test "$d" -gt $((skip0 + p2)) -a "$d" -le $((skip0 + p3 + 1))
: >"$E2E_DIR/after-delete.model"
fc_slice_file "$E2E_DIR/after-delete.model" expected "$d" "${#expected[@]}"
sc_check_file "3: the next line made the log anew, without header; every later line landed, \"finished!\" last" \
  "$log" "$E2E_DIR/after-delete.model"

e2e_check_eq "the screen shows \"finished!\" on row 151" finished! "$(wl_row run 151)"
e2e_check_eq "the hidden files were cleared" "0x0 0x0 0x0" \
  "$(wl_attr_get "$tree/c/h1.txt") $(wl_attr_get "$tree/c/h2.txt") $(wl_attr_get "$tree/c/h3.txt")"
e2e_check "nobody holds the log afterwards" fc_file_free "$log"
sc_stop run "$pid"

ln -s "$tree" "$E2E_DIR/link.log" && mkfifo "$E2E_DIR/fifo.log"
for bad in no/such link fifo; do
  bad_win=$(wl_winpath "$E2E_DIR")\\${bad//\//\\}.log c=${bad%/*}
  e2e_zavero_start "$c" LIST "$bad_win" "$tree_win\\c" && wl_wait_row "$c" 151 finished! 60
  e2e_check_eq "4: $bad: said in place of the path" "Writing to: no log, cannot create $bad_win" "$(wl_row "$c" 1)"
  sc_stop "$c" "$E2E_PID"
done
echo "# faults_log took $((SECONDS - began)) s"
e2e_end
