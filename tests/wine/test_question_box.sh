#!/usr/bin/env bash
# What the program asks Windows for at the end of a run on a desktop (a virtual X display),
# as Wine's relay trace shows it: the question box (text, title, style, owner, answer) and,
# on Yes, the launch of the system's notepad on the log (command line, folder, handles,
# priority, no shell fallback); on No, no launch at all. The screens, logs, bits and windows
# of such runs are the end-to-end runner's (zavero_e2e.exe). Pictures of the box and of
# notepad are kept in <build>/e2e-artifacts.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/trace.sh"
e2e_begin question_box

art=$ZAVERO_BUILD/e2e-artifacts
mkdir -p "$art"
rm -f "$art"/question_box*.png "$art"/notepad.png

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

# ============================================================ run 1: the whole run, then Yes
t0=$SECONDS
log=$disk/logs/scan.log
trace=$E2E_DIR/run1.trace
e2e_zavero_start_traced run1 "$trace" CLEAR 'D:\logs\scan.log' 'D:\Data'
pid=$E2E_PID
e2e_require "run1: \"finished!\" appears on row 151" wl_wait_row run1 151 'finished!' 180
wid=$(wl_window_find 'A little question' 180)
e2e_require "run1: a box appears" test -n "$wid"
echo "# run1: box up after $((SECONDS - t0)) s"

# --- the box
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
sleep 2   # let notepad paint its text
wl_screenshot "$art/notepad.png"
wl_kill "$(wl_window_pid "$np")"
wl_console_keys run1 C-c
e2e_check "run1: Ctrl+C ends the program" wl_wait_gone "$pid" 30

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
echo "# run2: box up after $((SECONDS - t0)) s"
e2e_check_eq "run2: the question names its own log" 'Open D:\logs\list.log ?' \
  "$(e2e_trace_arg "$trace" MessageBoxA 2)"
wl_box_answer "$wid" no
e2e_check "no: the answer reached the program" wl_wait_until 60 e2e_trace_returned "$trace" MessageBoxA
e2e_check_eq "no: the answer was No (7)" 00000007 "$(e2e_trace_ret "$trace" MessageBoxA)"
# A launch would follow the answer at once; give a slow machine some seconds all the same.
sleep 5
e2e_check "no: nothing was started (no process call, no shell call)" \
  test "$(e2e_trace_count "$trace" CreateProcessA)/$(e2e_trace_count "$trace" ShellExecuteExA)" = 0/0
wl_console_keys run2 C-c
e2e_check "run2: Ctrl+C ends the program" wl_wait_gone "$pid" 30
echo "# run2 (listing, box, No) took $((SECONDS - t0)) s"

e2e_end
