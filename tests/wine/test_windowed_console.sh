#!/usr/bin/env bash
# zavero.exe in console windows of Windows 10's size (Wine's windowed console under Xvfb: 9001
# buffer rows behind a 30-row window), read as the user sees them with the console probe: in
# cmd.exe after 200 lines of history, and in a console of its own; each during the walk,
# during the entries and at the end. Then Ctrl+C in the midst of a second run in that cmd.exe,
# after which the console has the colour and the modes it had before.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin windowed_console
wl_xvfb_start || wl_die "no X display"
for v in "ScreenBufferSize $((9001 << 16 | 120))" "WindowSize $((30 << 16 | 120))" "ScreenColors 7"; do
  wine reg add 'HKCU\Console' /v ${v% *} /t REG_DWORD /d ${v#* } /f >/dev/null 2>&1
done
cp "$ZAVERO_BUILD/tests/console_probe.exe" "$E2E_BIN/"
for i in $(seq 100 399); do printf "f 0x2   d$i/h%s.txt\n" 1 2 3 4 5 6 7; done | sc_tree_make "$E2E_DIR/tree"
tree=$(wl_winpath "$E2E_DIR/tree") run="zavero.exe LIST hist.log \"$(wl_winpath "$E2E_DIR/tree")\""
printf '%s\r\n' "@echo off" "for /l %%i in (1,1,200) do echo line %%i" \
  "console_probe.exe cmd.exe 0 0 > before.txt" "$run" "$run" >"$E2E_BIN/hist.bat"
look() { LOOK=$(cd "$E2E_BIN" && wine console_probe.exe "$@" | tr -d '\r'); }
seen() { echo $(grep -Eo 'window [0-9]+ [0-9]+' <<<"$LOOK") $(for s; do grep -Fc "$s" <<<"$LOOK"; done); }
# looks NAME TOP LOG: the window of the run writing LOG, whose banner stands on row TOP, shows
# the banner first and the rows drawn last: 2100 entries end on row TOP + 3 + 2100 % 26.
looks() {
  local name=$1 top=$2 log=$E2E_BIN/$3 window="window $2 $(($2 + 29))"
  wl_wait_until 60 eval 'look zavero.exe; [[ $LOOK == *"|"" scanning folder "* ]]'
  e2e_check_eq "$name, walking" "$window 1" "$(seen "$((top + 3))| scanning folder")"
  wl_wait_until 120 grep -q '^ listing' "$log"; look zavero.exe
  e2e_check_eq "$name, listing" "$window 1" "$(seen "$top|QOR_ZAVERO has been started...")"
  wl_wait_until 120 grep -q '^finished!' "$log"; sleep 0.5; look zavero.exe
  e2e_check_eq "$name, at the end: finished! alone on the last row, the cursor after it" \
    "$window 1 1" "$(seen "$((top + 29))|finished!" "cursor 9 $((top + 29))")"
  e2e_check_eq "$name, at the end: the last entry" "$((top + 23))|  $(grep '^   ' "$log" | tail -n1 |
    tr -d '\r' | cut -c4-)" "$(sed -n 25p <<<"$LOOK")"
}
history() { look cmd.exe 0 199; e2e_check_eq "$1: the history as cmd.exe wrote it" \
  "$(for i in $(seq 1 200); do echo "$((i - 1))|line $i"; done)" "$(tail -n +2 <<<"$LOOK")"; }

(cd "$E2E_BIN" && setsid wine start cmd.exe /k hist.bat)
looks "cmd with history" 200 hist.log
history "cmd with history"
mapfile -t first < <(wl_wine_pids zavero.exe)
: >"$E2E_BIN/hist.log"
kill -INT "${first[@]}"
wl_wait_until 60 eval 'look zavero.exe; [[ $LOOK == *" scanning folder "* ]]'
e2e_check "the second run works with its own modes" grep -q 'attribute 15 output 0 input 1b7' <<<"$LOOK"
kill -INT $(wl_wine_pids zavero.exe)
wl_wait_until 30 eval '[ -z "$(wl_wine_pids zavero.exe)" ]'; look cmd.exe 0 0
e2e_check_eq "after Ctrl+C: the colour and modes of before" \
  "$(grep -o 'attribute.*' "$E2E_BIN/before.txt" | tr -d '\r')" "$(grep -o 'attribute.*' <<<"$LOOK")"
history "after Ctrl+C"

(cd "$E2E_BIN" && setsid wine start /unix "$E2E_EXE" LIST fresh.log "$tree")
wl_wait_until 60 test -s "$E2E_BIN/fresh.log"
looks "a console of its own" 0 fresh.log
e2e_end
