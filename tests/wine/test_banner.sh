#!/usr/bin/env bash
# Start-up in a console of its own: the banner, the "Writing to: " line with a bare log name
# placed beside the program, the title, then idling until the console ends the program, by
# Ctrl+C or by going away. (Wine never delivers the close event, so the close clean-up is
# proven on the fake machine.) A start folder that does not exist is said on the screen and
# in the log; /? and --version alone are answered without a run.
. "$(dirname "$0")/lib.sh"
e2e_begin banner

empty=$E2E_DIR/empty
mkdir -p "$empty"
empty_win=$(wl_winpath "$empty")
banner='QOR_ZAVERO has been started...'
writing="Writing to: $E2E_BIN_WIN\\scan.log"

# --- first run: everything the start shows, then Ctrl+C
e2e_zavero_start run1 LIST scan.log "$empty_win"
pid=$E2E_PID
e2e_require "the banner appears" wl_wait_screen run1 'QOR_ZAVERO has been started' 60
wl_wait_row run1 1 "$writing" 15
e2e_save_screen run1 run1-start

e2e_check_eq "console is 200 x 160" 200x160 "$(wl_console_size run1)"
e2e_check_eq "banner on the cursor's first row (row 0)" "$banner" "$(wl_row run1 0)"
e2e_check "banner in light red (colour 12 = SGR 91)" \
  wl_sgr_has "$(wl_sgr_at run1 0 "$banner")" 91
e2e_check_eq "the log line below it names the log beside the program" "$writing" "$(wl_row run1 1)"
e2e_check "the log line in white (colour 15 = SGR 97)" \
  wl_sgr_has "$(wl_sgr_at run1 1 'Writing to: ')" 97
e2e_check_eq "console title" "ZAVERO von QOR" "$(wl_console_title run1)"

sleep 3
e2e_check "still running a few seconds later" wl_proc_alive "$pid"
cpu=$(wl_cpu_percent "$pid" 4)
e2e_check "idle: ${cpu:-?}% of a core over 4 s (at most 10%)" test "${cpu:-100}" -le 10
e2e_check_eq "the banner is still there" "$banner" "$(wl_row run1 0)"
e2e_save_screen run1 run1-idle

wl_console_keys run1 C-c
e2e_check "Ctrl+C ends the program" wl_wait_gone "$pid" 20
e2e_check "the console saw it end" wl_wait_until 10 wl_console_dead run1

# --- second run: the console goes away under it
e2e_zavero_start run2 LIST scan.log "$empty_win"
pid=$E2E_PID
e2e_require "the banner appears again" wl_wait_screen run2 'QOR_ZAVERO has been started' 60
e2e_check "running before its console goes" wl_proc_alive "$pid"
wl_console_kill_pane run2
e2e_check "killing the console's pane ends the program" wl_wait_gone "$pid" 20

# --- a start folder that does not exist: said on the screen and in the log
e2e_zavero_start run3 LIST missing.log "$empty_win\\nowhere"
pid=$E2E_PID
e2e_require "run3 finishes" e2e_wait_file "$E2E_BIN/missing.log" '^finished!' 60 2>/dev/null
said=" cannot read the start folder $empty_win\\nowhere"
e2e_check_eq "the unreadable start folder is said on row 4 and before finished! in the log" \
  "$said|$said" "$(wl_row run3 4)|$(tail -n 2 "$E2E_BIN/missing.log" | head -n 1 | tr -d '\r')"
wl_console_keys run3 C-c
e2e_check "Ctrl+C ends run3" wl_wait_gone "$pid" 20

# --- a question for the usage or the version, alone: answered on standard output, then the end
wine "$E2E_EXE" '/?' >"$E2E_DIR/usage.out" 2>/dev/null
status=$?
e2e_check_eq "/? prints the usage in CR LF lines, status 0" \
  "Usage: zavero.exe [MODE] [LOG] [FOLDER] [PATTERN] [FOLDERS] [FILES] [SKIP] [INCLUDE]"$'\r'"|0" \
  "$(head -n 1 "$E2E_DIR/usage.out")|$status"
e2e_check "--version prints the version" grep -Eqx $'zavero [0-9.]+\r' <(wine "$E2E_EXE" --version 2>/dev/null)

e2e_end
