#!/usr/bin/env bash
# The end of a run where no desktop can show the question (no X display at all, as in a
# service session): the box fails at once with 0, nothing is started, the run still ends with
# "finished!" on screen and in the log, and the program idles as after any other answer.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/trace.sh"
e2e_begin no_display

e2e_trace_only user32.MessageBoxA kernel32.CreateProcessA kernelbase.CreateProcessA \
  shell32.ShellExecuteExA
unset DISPLAY

start=$E2E_DIR/start
wl_tree_make "$start" <<'TREE'
f 0x2 hidden.txt
d -   sub
f 0x2 sub/deep.txt
TREE
start_win=$(wl_winpath "$start")
log_win="$E2E_BIN_WIN\\scan.log"
log=$E2E_BIN/scan.log
trace=$E2E_DIR/run.trace

t0=$SECONDS
e2e_zavero_start_traced run "$trace" LIST scan.log "$start_win"
pid=$E2E_PID
e2e_require "\"finished!\" appears on row 151" wl_wait_row run 151 'finished!' 180
e2e_require "the question was put to the system" wl_wait_until 60 e2e_trace_returned "$trace" MessageBoxA
echo "# the box failed after $((SECONDS - t0)) s"
e2e_save_screen run end

e2e_check_eq "the question names the log beside the program" "Open $log_win ?" \
  "$(e2e_trace_arg "$trace" MessageBoxA 2)"
# Windows answers 0 when it cannot show a box; Wine answers -1 (the failure value of the dialog
# underneath). The program acts on Yes (6) alone, so both lead straight to the idle loop.
answer=$(e2e_trace_ret "$trace" MessageBoxA)
e2e_check "without a display the box fails: answer ${answer:-?} (0, or -1 from Wine)" \
  grep -qxE '00000000|ffffffff' <<<"$answer"
e2e_check_eq "the listing is on screen" \
  "$(printf '  %s\n' "$start_win\\hidden.txt" "$start_win\\sub\\deep.txt")" \
  "$(wl_row run 4; wl_row run 5)"
e2e_check_eq "\"finished!\" is the log's last line" 'finished!' "$(tail -n 1 "$log" | tr -d '\r')"
e2e_check_eq "a listing run leaves the attributes alone" '0x2 0x2' \
  "$(wl_attr_get "$start/hidden.txt") $(wl_attr_get "$start/sub/deep.txt")"
log_at_end=$(cat "$log")

# A launch would follow the failed box at once; give a slow machine some seconds all the same.
sleep 5
e2e_check "still running" wl_proc_alive "$pid"
cpu=$(wl_cpu_percent "$pid" 4)
e2e_check "idle: ${cpu:-?}% of a core over 4 s (at most 10%)" test "${cpu:-100}" -le 10
e2e_check "nothing was started (no process call, no shell call)" \
  test "$(e2e_trace_count "$trace" CreateProcessA)/$(e2e_trace_count "$trace" ShellExecuteExA)" = 0/0
e2e_check "no notepad runs in the prefix" test -z "$(wl_wine_pids notepad.exe)"
e2e_check_eq "nothing more was logged" "$log_at_end" "$(cat "$log")"
e2e_check_eq "the screen still ends with \"finished!\"" 'finished!' "$(wl_row run 151)"

wl_console_keys run C-c
e2e_check "Ctrl+C ends the program" wl_wait_gone "$pid" 30
echo "# the run without a display took $((SECONDS - t0)) s"

e2e_end
