#!/usr/bin/env bash
# Ctrl+C in the middle of the clearing phase of a run over 4000 hidden files: the program
# ends at once; the log is the beginning of the whole run's log, cut after a whole line
# (CR LF), without "finished!"; every entry whose "...sucsess!" is in the log has lost its
# hidden bit, every entry the log does not reach still has it (the one whose path line is the
# last line may be either: Ctrl+C can come between the path line and the clearing). One
# start of the program.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_ctrl_c
began=$SECONDS
umask 022
FC_HOLDFILE=$(fc_tool holdfile)

tree=$E2E_DIR/tree
order=()
for d in 0 1 2 3 4 5 6 7; do
  mkdir -p "$tree/d$d"
  for ((i = 0; i < 500; i++)); do printf -v f 'd%s/f%03d.txt' "$d" "$i"; order+=("$f"); done
done
for f in "${order[@]}"; do : >"$tree/$f"; done
fc_attrs "$tree" 0x2 "${order[@]}"
tree_win=$(wl_winpath "$tree")
log=$E2E_DIR/ctrl_c.log
mapfile -t paths < <(sc_winpaths "$tree_win" "${order[@]}")
none=()
sc_expected_log "$E2E_DIR/ctrl_c.expected" clear 2 4 '*' "$tree_win" none paths

e2e_zavero_start run CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
treated() { local n; n=$(grep -c '^     \.\.\.sucsess!' "$log" 2>/dev/null); [ "${n:-0}" -ge "$1" ]; }
e2e_require "the clearing phase gets under way (200 entries)" wl_wait_until 180 treated 200
echo "# clearing under way after $((SECONDS - began)) s"
wl_console_keys run C-c
e2e_check "Ctrl+C ends the program" wl_wait_gone "$pid" 30
e2e_save_screen run run

fc_check_cut_log "the log: the beginning of the whole run's, cut after a whole line" \
  "$log" "$E2E_DIR/ctrl_c.expected"
done_count=$(grep -c '^     \.\.\.sucsess!' "$log")
e2e_check "the run was cut in the clearing phase ($done_count of ${#order[@]} entries treated), no \"finished!\"" \
  test "$done_count" -lt "${#order[@]}" -a "$(grep -c '^finished!' "$log")" = 0
e2e_check_eq "no entry \"not changed!\"" 0 "$(grep -c 'not changed!' "$log")"

# On disk: the treated entries keep their new attributes, the others are untouched.
last=$(tail -n 1 "$log" | tr -d '\r')
hidden=$(fc_hidden_files "$tree")
rest=$(printf '%s\n' "${order[@]:done_count}" | LC_ALL=C sort)
if [ "$last" = "   ${paths[done_count]}" ]; then
  # Cut between the path line and its result: that entry may or may not be cleared.
  rest_after=$(printf '%s\n' "${order[@]:done_count+1}" | LC_ALL=C sort)
  e2e_check "on disk: the $done_count treated entries lost the hidden bit, the others (but the one in progress) kept it" \
    test "$hidden" = "$rest" -o "$hidden" = "$rest_after"
else
  e2e_check "on disk: the $done_count treated entries lost the hidden bit, the others kept it" \
    test "$hidden" = "$rest"
fi
e2e_check "nobody holds the log afterwards" fc_file_free "$log"
echo "# faults_ctrl_c took $((SECONDS - began)) s"
e2e_end
