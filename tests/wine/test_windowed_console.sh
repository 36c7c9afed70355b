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
for i in $(seq 100 399); do printf 'f 0x2   d%s/h%s.txt\n' "$i" 1 2 3 4 5 6; done | sc_tree_make "$E2E_DIR/tree"
tree=$(wl_winpath "$E2E_DIR/tree") run="zavero.exe LIST hist.log \"$(wl_winpath "$E2E_DIR/tree")\""
printf '%s\r\n' "@echo off" "for /l %%i in (1,1,200) do echo line %%i" \
  "console_probe.exe cmd.exe 0 0 > before.txt" "$run" "$run" >"$E2E_BIN/hist.bat"
look() { LOOK=$(cd "$E2E_BIN" && wine console_probe.exe "$@" | tr -d '\r'); }
# looks NAME TOP LOG: checks the window of the run writing LOG, whose banner stands on row TOP.
looks() {
  local name=$1 top=$2 log=$E2E_BIN/$3 want
  wl_wait_until 60 test -s "$log"
  wl_wait_until 60 eval 'look zavero.exe; [[ $LOOK == *"|"" scanning folder "* ]]'
  e2e_check_eq "$name, walking: the window starts at the banner, the folder row 3 below" \
    "window $top $((top + 29)) $top|QOR_ZAVERO has been started... $((top + 3))| scanning folder" \
    "$(grep -o 'window [0-9]* [0-9]*' <<<"$LOOK") $(grep "^$top|" <<<"$LOOK") $(grep -o "^$((top + 3))| scanning folder" <<<"$LOOK")"
  wl_wait_until 120 grep -q '^ listing' "$log"; look zavero.exe
  e2e_check "$name, listing: the window shows entry rows" grep -Fq "|  $tree" <<<"$LOOK"
  wl_wait_until 120 grep -q '^finished!' "$log"; sleep 0.5; look zavero.exe
  e2e_check_eq "$name, at the end: finished! alone on the window's last row, the cursor after it" \
    "window $top $((top + 29)) cursor 9 $((top + 29)) $((top + 29))|finished!" \
    "$(grep -Eo 'window [0-9]+ [0-9]+ cursor [0-9]+ [0-9]+' <<<"$LOOK") $(tail -n1 <<<"$LOOK")"
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
looks "a console of its own" 0 fresh.log
e2e_end
