#!/usr/bin/env bash
# A link to a folder and a FIFO at the log's name, which only a Linux file system holds: each
# said on the "Writing to: " row in place of the path, and the run goes on to "finished!".
# The log held by another program, deleted, or in a folder that does not exist is the
# end-to-end runner's (zavero_e2e.exe, on Windows too).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin faults_log

mkdir -p "$E2E_DIR/tree"
ln -s "$E2E_DIR/tree" "$E2E_DIR/link.log" && mkfifo "$E2E_DIR/fifo.log"
for bad in link fifo; do
  bad_win=$(wl_winpath "$E2E_DIR")\\$bad.log
  e2e_zavero_start "$bad" LIST "$bad_win" "$(wl_winpath "$E2E_DIR/tree")" && wl_wait_row "$bad" 151 finished! 60
  e2e_check_eq "$bad: said in place of the path" "Writing to: no log, cannot create $bad_win" "$(wl_row "$bad" 1)"
  sc_stop "$bad" "$E2E_PID"
done
e2e_end
