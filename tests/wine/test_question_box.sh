#!/usr/bin/env bash
# The end of a run on a desktop (a virtual X display): a whole clearing run on a small tree,
# checked on screen, in the log and on disk, ends with the question whether to open the log.
# Yes opens the system's notepad on the log, with the log's folder as its working folder; No
# opens nothing. Either way the program stays alive and idle afterwards.
#
# Besides the window titles, Wine's relay trace shows exactly what the program asked Windows
# for (box text, title, style, answer; the command line and folder of the launch), and that a
# No launched nothing at all. Pictures of the box, of notepad and the final console screen are
# kept in <build>/e2e-artifacts.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/trace.sh"
e2e_begin question_box

art=$ZAVERO_BUILD/e2e-artifacts
mkdir -p "$art"
rm -f "$art"/question_box*.png "$art"/notepad.png "$art"/console_end.*

e2e_trace_only user32.MessageBoxA kernel32.CreateProcessA kernelbase.CreateProcessA \
  shell32.ShellExecuteExA
# A drive of its own keeps the paths short, as a user would see them (D:\Data, D:\logs).
disk=$E2E_DIR/disk
mkdir -p "$disk/logs"
wl_drive_map d "$disk"
wl_server_restart
wl_xvfb_start || wl_die "no X display"

wl_tree_make "$disk/Data" <<'TREE'
f -   photo.jpg
f 0x2 notes.txt
f 0x6 boot.ini
d 0x2 Private
f 0x2 Private/diary.txt
d -   Music
f 0x2 Music/song.mp3
f 0x6 Music/desktop.ini
d 0x4 System
f 0x2 System/cache.db
TREE
# What a clearing run with the default masks selects: hidden and not system, at any depth,
# folders too; a hidden system entry is logged as skipped, in the start folder too.
selected=('D:\Data\notes.txt' 'D:\Data\Private' 'D:\Data\Private\diary.txt'
  'D:\Data\Music\song.mp3' 'D:\Data\System\cache.db')
sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }

# no_notepad: true when no notepad window is on the display and no notepad runs in the prefix.
no_notepad() {
  [ -z "$(xdotool search --name 'Notepad' 2>/dev/null)" ] && [ -z "$(wl_wine_pids notepad.exe)" ]
}

# idle_check CONSOLE PID: the program is still there and uses (almost) no processor time.
idle_check() {
  local cpu
  e2e_check "$1: still running after the answer" wl_proc_alive "$2"
  cpu=$(wl_cpu_percent "$2" 4)
  e2e_check "$1: idle, ${cpu:-?}% of a core over 4 s (at most 10%)" test "${cpu:-100}" -le 10
}

# ============================================================ run 1: the whole run, then Yes
t0=$SECONDS
log=$disk/logs/scan.log
trace=$E2E_DIR/run1.trace
e2e_zavero_start_traced run1 "$trace" CLEAR 'D:\logs\scan.log' 'D:\Data'
pid=$E2E_PID
e2e_require "run1: the banner appears" wl_wait_screen run1 'QOR_ZAVERO has been started' 180
e2e_require "run1: \"finished!\" appears on row 151" wl_wait_row run1 151 'finished!' 180
wid=$(wl_window_find 'A little question' 180)
e2e_require "run1: a box appears" test -n "$wid"
e2e_save_screen run1 run1-end
echo "# run1: box up after $((SECONDS - t0)) s"

# --- the screen
e2e_check_eq "screen: banner" 'QOR_ZAVERO has been started...' "$(wl_row run1 0)"
e2e_check_eq "screen: the log it writes to" 'Writing to: D:\logs\scan.log' "$(wl_row run1 1)"
e2e_check "screen: the walk's count on row 2" \
  grep -Eqx ' files found: [0-9]+' <<<"$(wl_row run1 2)"
e2e_check_eq "screen: the clearing phase on row 3" ' clearing...' "$(wl_row run1 3)"
e2e_check "screen: phase and entries in light blue (colour 9 = SGR 94)" \
  wl_sgr_has "$(wl_sgr_at run1 3 ' clearing...')" 94
rows=()
for r in 4 5 6 7 8; do rows+=("$(wl_row run1 $r)"); done
e2e_check_eq "screen: rows 4 to 8 hold the selected entries, one each" \
  "$(sorted "${selected[@]/#/  }")" "$(sorted "${rows[@]}")"
skipped=' 2 entries skipped (attributes $4); take them with parameters 4-8: * 1 1 0 2'
e2e_check_eq "screen: the entries skipped below them, then nothing" "$skipped|" \
  "$(wl_row run1 9)|$(wl_row run1 10)"
e2e_check "screen: \"finished!\" in light red (colour 12 = SGR 91)" \
  wl_sgr_has "$(wl_sgr_at run1 151 'finished!')" 91

# --- the log
e2e_check "log: every line ends in CR LF" \
  test "$(grep -c $'\r$' "$log")" = "$(wc -l <"$log")" -a -s "$log"
mapfile -t lines < <(tr -d '\r' <"$log")
e2e_check_eq "log: the header" \
  "$(printf '%s\n' 'QOR_ZAVERO has been started...' 'Clear attributes: $2' \
    'skip attributes: $4' 'searching files: *' 'search in folder: D:\Data')" \
  "$(printf '%s\n' "${lines[@]:0:5}")"
e2e_check_eq "log: the hidden system files are skipped, the start folder's too" \
  ' skipped (attributes $4): D:\Data\boot.ini| skipped (attributes $4): D:\Data\Music\desktop.ini' \
  "${lines[5]}|${lines[6]}"
e2e_check_eq "log: then the clearing phase" ' clearing...' "${lines[7]}"
paths=() outcomes=()
for ((i = 8; i + 1 < ${#lines[@]} - 2; i += 2)); do
  paths+=("${lines[i]}"); outcomes+=("${lines[i+1]}")
done
e2e_check_eq "log: each selected entry once" \
  "$(sorted "${selected[@]/#/   }")" "$(sorted "${paths[@]}")"
e2e_check_eq "log: each one cleared" \
  "$(for p in "${selected[@]}"; do echo '     ...sucsess!'; done)" "$(printf '%s\n' "${outcomes[@]}")"
e2e_check_eq "log: the entries in the order of the screen rows" \
  "$(printf '%s\n' "${rows[@]}")" "$(printf '%s\n' "${paths[@]# }")"
e2e_check_eq "log: the entries skipped, then \"finished!\", the last of 20 lines" \
  "$skipped|20 finished!" "${lines[${#lines[@]}-2]}|${#lines[@]} ${lines[${#lines[@]}-1]}"
log_at_box=$(cat "$log")

# --- the disk
for p in notes.txt Private Private/diary.txt Music/song.mp3 System/cache.db; do
  e2e_check_eq "disk: $p is no longer hidden" 0x0 "$(wl_attr_get "$disk/Data/$p")"
done
for p in boot.ini Music/desktop.ini; do
  e2e_check_eq "disk: hidden system file $p is left alone" 0x6 "$(wl_attr_get "$disk/Data/$p")"
done
e2e_check_eq "disk: the system folder stays a system folder" 0x4 "$(wl_attr_get "$disk/Data/System")"

# --- the box
e2e_check_eq "box: its title" 'A little question...' "$(wl_window_name "$wid")"
e2e_check "box: asked once" test "$(e2e_trace_count "$trace" MessageBoxA)" = 1
e2e_check_eq "box: the question names the log" 'Open D:\logs\scan.log ?' \
  "$(e2e_trace_arg "$trace" MessageBoxA 2)"
e2e_check_eq "box: title as asked for" 'A little question...' "$(e2e_trace_arg "$trace" MessageBoxA 3)"
e2e_check_eq "box: Yes/No with the question mark (style 0x24)" 00000024 \
  "$(e2e_trace_arg "$trace" MessageBoxA 4)"
# The program has no window of its own here (the console is a terminal), so no owner.
e2e_check_eq "box: no owner window" 00000000 "$(e2e_trace_arg "$trace" MessageBoxA 1)"
wl_screenshot "$art/question_box-screen.png"
geo=$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /Width:/ { w = $NF } /Height:/ { h = $NF } END { printf "%dx%d+%d+%d", w, h, x, y }')
convert "$art/question_box-screen.png" -crop "$geo" +repage "$art/question_box.png"
colours=$(convert "$art/question_box.png" -format %k info: 2>/dev/null)
e2e_check "box: the picture of the box ($geo) is not blank (${colours:-?} colours)" \
  test "${colours:-0}" -gt 8

# --- Yes
t1=$SECONDS
wl_box_answer "$wid" yes
e2e_check "yes: the box goes away" wl_window_gone "$wid" 60
e2e_check "yes: the answer reached the program" wl_wait_until 60 e2e_trace_returned "$trace" MessageBoxA
e2e_check_eq "yes: the answer was Yes (6)" 00000006 "$(e2e_trace_ret "$trace" MessageBoxA)"
np=$(wl_window_find 'scan\.log - Notepad' 180)
e2e_require "yes: notepad opens the log (window \"scan.log - Notepad\")" test -n "$np"
echo "# run1: notepad up $((SECONDS - t1)) s after the answer"
e2e_check "yes: started once, directly" test "$(e2e_trace_count "$trace" CreateProcessA)" = 1
e2e_check_eq "yes: the system's notepad on the log (its command line)" \
  '"C:\windows\system32\notepad.exe" D:\logs\scan.log' "$(e2e_trace_arg "$trace" CreateProcessA 2)"
e2e_check_eq "yes: in the log's folder" 'D:\logs\' "$(e2e_trace_arg "$trace" CreateProcessA 8)"
e2e_check_eq "yes: no handles inherited, normal priority only" '00000000 00000020' \
  "$(e2e_trace_arg "$trace" CreateProcessA 5) $(e2e_trace_arg "$trace" CreateProcessA 6)"
e2e_check "yes: no shell fallback" test "$(e2e_trace_count "$trace" ShellExecuteExA)" = 0
np_pid=$(wl_window_pid "$np")
e2e_check "yes: the window belongs to a notepad.exe of this prefix" \
  grep -qx "${np_pid:-none}" <<<"$(wl_wine_pids notepad.exe)"
sleep 2   # let notepad paint its text
wl_screenshot "$art/notepad.png"
idle_check run1 "$pid"
e2e_check_eq "yes: nothing more was logged" "$log_at_box" "$(cat "$log")"
wl_screen run1 | head -n 152 | sed 's/[[:space:]]*$//' >"$art/console_end.txt"
wl_screen run1 -e | head -n 152 >"$art/console_end.ansi"
e2e_check_eq "yes: the console still shows the end of the run" 'finished!' "$(wl_row run1 151)"

# The program keeps no hold on notepad: ending it leaves the program as it was.
wl_kill "$np_pid"
e2e_check "yes: notepad ends by its PID" wl_wait_gone "$np_pid" 30
e2e_check "yes: the program outlives notepad" wl_proc_alive "$pid"
wl_console_keys run1 C-c
e2e_check "run1: Ctrl+C ends the program" wl_wait_gone "$pid" 30
echo "# run1 (whole run, box, Yes, notepad) took $((SECONDS - t0)) s"

# ============================================================ run 2: No
# A listing run on the same tree, now cleared: it finds nothing, and is offered its own log.
t0=$SECONDS
log=$disk/logs/list.log
trace=$E2E_DIR/run2.trace
e2e_zavero_start_traced run2 "$trace" LIST 'D:\logs\list.log' 'D:\Data'
pid=$E2E_PID
e2e_require "run2: \"finished!\" appears on row 151" wl_wait_row run2 151 'finished!' 180
wid=$(wl_window_find 'A little question' 180)
e2e_require "run2: a box appears" test -n "$wid"
e2e_save_screen run2 run2-end
echo "# run2: box up after $((SECONDS - t0)) s"
e2e_check_eq "run2: the question names its own log" 'Open D:\logs\list.log ?' \
  "$(e2e_trace_arg "$trace" MessageBoxA 2)"
e2e_check_eq "run2: the log ends with the listing phase, the entries skipped and \"finished!\"" \
  "$(printf '%s\r\n' ' listing...' "$skipped" 'finished!')" "$(tail -n 3 "$log")"
log_at_box=$(cat "$log")

wl_box_answer "$wid" no
e2e_check "no: the box goes away" wl_window_gone "$wid" 60
e2e_check "no: the answer reached the program" wl_wait_until 60 e2e_trace_returned "$trace" MessageBoxA
e2e_check_eq "no: the answer was No (7)" 00000007 "$(e2e_trace_ret "$trace" MessageBoxA)"
# A launch would follow the answer at once; give a slow machine some seconds all the same.
sleep 5
idle_check run2 "$pid"
e2e_check "no: nothing was started (no process call, no shell call)" \
  test "$(e2e_trace_count "$trace" CreateProcessA)/$(e2e_trace_count "$trace" ShellExecuteExA)" = 0/0
e2e_check "no: no notepad window, no notepad process" no_notepad
e2e_check_eq "no: nothing more was logged" "$log_at_box" "$(cat "$log")"
wl_console_keys run2 C-c
e2e_check "run2: Ctrl+C ends the program" wl_wait_gone "$pid" 30
echo "# run2 (listing, box, No) took $((SECONDS - t0)) s"

e2e_end
