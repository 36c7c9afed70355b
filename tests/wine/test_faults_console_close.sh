#!/usr/bin/env bash
# The console closed while log lines are being written, six times, at different moments:
# twice during the walk's 200 skip lines (one per folder), and four times in the clearing
# phase of 1500 entries. Each time the tmux pane is killed, as closing a terminal
# window would, and the program ends at once; then:
#   - the log is the beginning of the whole run's log, cut after a whole line: no torn line,
#     no doubled line;
#   - nobody holds the log: an opening without sharing succeeds;
#   - on disk, exactly the entries whose "...sucsess!" is in the log lost the hidden bit (the
#     entry whose path line ends the log may be either).
# Wine never delivers the console's close event (a killed pane, SIGHUP or SIGTERM end the
# process without it), so the program's close clean-up, which finishes the line in progress
# and starts no other, does not run here; the unit test RunLog.CloseEventNeverTearsALine
# proves it on the fake machine. What this scenario shows is that the log stays whole and
# free when the process is simply cut off. Six starts of the program.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_console_close
began=$SECONDS
umask 022
FC_HOLDFILE=$(fc_tool holdfile)

tree=$E2E_DIR/tree
mkdir -p "$tree/b_hid"
skipped=() order=()
for ((i = 0; i < 200; i++)); do
  printf -v f 'a_skip/%03d/s.txt' "$i"; skipped+=("$f"); mkdir -p "$tree/${f%/*}"
done
for ((i = 0; i < 1500; i++)); do printf -v f 'b_hid/f%04d.txt' "$i"; order+=("$f"); done
for f in "${skipped[@]}" "${order[@]}"; do : >"$tree/$f"; done
fc_attrs "$tree" 0x6 "${skipped[@]}"
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/close.log
mapfile -t paths < <(sc_winpaths "$tree_win" "${order[@]}")
mapfile -t skips < <(sc_winpaths "$tree_win" "${skipped[@]}")
sc_expected_log "$E2E_DIR/close.expected" clear 2 4 '*' "$tree_win" skips paths

count() { local n; n=$(grep -c "$1" "$log" 2>/dev/null); echo "${n:-0}"; }
skip_lines_at_least() { [ "$(count '^ skipped')" -ge "$1" ]; }
treated_at_least() { [ "$(count '^     \.\.\.sucsess!')" -ge "$1" ]; }

# close_at N WAIT...: run N, with the pane killed once WAIT succeeds; then the checks.
close_at() {
  local n=$1 pid done_count last hidden rest rest_after; shift
  fc_attrs "$tree" 0x2 "${order[@]}"
  e2e_zavero_start "c$n" CLEAR "$(wl_winpath "$log")" "$tree_win"
  pid=$E2E_PID
  if ! wl_wait_until 180 "$@"; then
    e2e_result 1 "c$n: the run gets to the moment to close it ($*)"
    return
  fi
  wl_console_kill_pane "c$n"
  e2e_check "c$n: closing the console ends the program" wl_wait_gone "$pid" 30
  fc_check_cut_log "c$n: the log: the beginning of the whole run's, cut after a whole line" \
    "$log" "$E2E_DIR/close.expected"
  done_count=$(count '^     \.\.\.sucsess!')
  e2e_check "c$n: no \"finished!\" ($(count '^ skipped') skip lines, $done_count entries treated)" \
    test "$(count '^finished!')" = 0
  e2e_check "c$n: nobody holds the log" fc_file_free "$log"
  # The skipped entries keep both bits throughout; of the others, those the log reports as
  # treated lost the hidden bit.
  last=$(tail -n 1 "$log" | tr -d '\r')
  hidden=$(fc_hidden_files "$tree")
  rest=$(printf '%s\n' "${skipped[@]}" "${order[@]:done_count}" | LC_ALL=C sort)
  rest_after=$rest
  [ "$last" = "   ${paths[done_count]}" ] &&
    rest_after=$(printf '%s\n' "${skipped[@]}" "${order[@]:done_count+1}" | LC_ALL=C sort)
  e2e_check "c$n: on disk exactly the entries the log reports as treated lost the hidden bit" \
    test "$hidden" = "$rest" -o "$hidden" = "$rest_after"
  # Kept for the reader; the next run starts without a log, so its waits count its own lines.
  mv "$log" "$E2E_DIR/c$n.log"
}

close_at 1 skip_lines_at_least 30
close_at 2 skip_lines_at_least 100
close_at 3 treated_at_least 1
close_at 4 treated_at_least 200
close_at 5 treated_at_least 400
close_at 6 treated_at_least 800
echo "# faults_console_close took $((SECONDS - began)) s"
e2e_end
