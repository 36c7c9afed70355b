#!/usr/bin/env bash
# A Samba server's disk: the DOS bits in user.DOSATTRIB, in every form Samba and Wine write
# (Wine's text "0x22", Samba's NDR versions 3, 4 and 5), on hidden, hidden+system,
# read-only+hidden and plain files and folders, and one hidden file made immutable
# (chattr +i), whose write the kernel refuses. Four starts of the program:
#   1. LIST into a pipe: one plain line per selected entry (`| wc -l` counts them), status 0;
#   2. CLEAR in a 100 x 30 terminal with a log: the banner, the rows, "finished!" on the last
#      row, the question on the terminal below it (its line scrolls the screen up by one),
#      answered No, status 1 for the refused write; the
#      log; on disk every value exactly as Samba packs it with the hidden bit gone, every
#      other byte kept, and nothing else changed;
#   3. LIST with a tmpfs folder holding no values: one line on standard error, nothing;
#   4. a files-only LIST of a file whose stored word says folder (0x12): listed as the file it is.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/../wine/scan_checks.sh"
lx_begin samba_store
here=$(cd "$(dirname "$0")" && pwd)
dos() { /usr/bin/python3 "$here/dosattrib.py" "$@"; }

tree=$LX_DIR/share
mkdir -p "$tree/f_dir"
for f in a_text.txt b_v3.txt c_v4.txt d_v5.txt e_plain.txt f_dir/g_v5.txt f_dir/h_v3.txt \
  f_dir/i_text.txt j_locked.txt; do echo "$f" >"$tree/$f"; done
cd "$tree" || exit 1
dos set text 0x22 a_text.txt
dos set 3 0x22 b_v3.txt
dos set 4 0x26 c_v4.txt                 # hidden+system in the start folder: a skip line
dos set 5 0x23 d_v5.txt                 # read-only+hidden
dos set 4 0x12 f_dir
dos set 5 0x26 f_dir/g_v5.txt           # hidden+system below it: a skip line
dos set 3 0x2 f_dir/h_v3.txt
dos set text 0x20 f_dir/i_text.txt      # archive only
dos set text 0x2 j_locked.txt
e2e_require "an immutable file can be made here (chattr +i)" chattr +i j_locked.txt
wl_on_exit chattr -i "$tree/j_locked.txt"
selected=(a_text.txt b_v3.txt d_v5.txt f_dir j_locked.txt f_dir/h_v3.txt)

# --- 1: the pipe
out=$("$ZAVERO" LIST "" "$tree" | tee "$LX_DIR/pipe.out" | wc -l; echo "status ${PIPESTATUS[0]}")
e2e_check_eq "LIST into a pipe: one line per selected entry, status 0" "6 status 0" "$(echo $out)"
e2e_check_eq "the lines are the paths, in walk order" \
  "$(printf "$tree/%s\n" "${selected[@]}")" "$(cat "$LX_DIR/pipe.out")"

# --- 2: clearing in a terminal
lx_start clear 100 30 "$LX_DIR" CLEAR scan.log "$tree"
wl_wait_screen clear 'Open scan.log \? \[y/N\]' 60
e2e_save_screen clear clear
# With the lines that scrolled out on top, the rows stand where the run drew them.
mapfile -t screen < <(wl_tmux clear capture-pane -p -t main -S -3 -E 29)
e2e_check_eq "the banner, the log, the count and the rows" \
  "$(printf '%s\n' "QOR_ZAVERO has been started..." "Writing to: scan.log" " files found: 6" \
     " clearing..." "${selected[@]/#/  $tree/}")" "$(printf '%s\n' "${screen[@]:0:10}" | sed 's/ *$//')"
# The entries left alone and the refused write, each said once below it, on standard error.
e2e_check_eq "finished! on the last row, the lines on what was not done and the question below it" \
  "finished!|zavero: 2 entries skipped (attributes \$4); also taken with parameters 4-8: '*' 1 1 0 2|zavero: cannot write the attributes of 1 entry: permission denied|Open scan.log ? [y/N]" \
  "$(wl_row clear 26)|$(wl_row clear 27)|$(wl_row clear 28)|$(wl_row clear 29)"
e2e_check "the rows in light blue (SGR 94)" wl_sgr_has "$(wl_sgr_at clear 1 "  $tree/a")" 94
e2e_check "finished! in light red (SGR 91)" wl_sgr_has "$(wl_sgr_at clear 26 finished!)" 91
e2e_check_eq "the terminal's title" "ZAVERO von QOR" "$(wl_console_title clear)"
wl_console_keys clear n Enter
e2e_check_eq "status 1: one entry was not changed" 1 "$(lx_exit_status clear 20)"
{
  printf '%s\n' "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4' \
    'searching files: *' "search in folder: $tree" " skipped (attributes \$4): $tree/c_v4.txt" \
    " skipped (attributes \$4): $tree/f_dir/g_v5.txt" \
    " clearing..."
  for f in "${selected[@]}"; do
    printf '   %s\n' "$tree/$f"
    if [ "$f" = j_locked.txt ]; then echo "     ...not changed!"; else echo "     ...sucsess!"; fi
  done
  echo "finished!"
} >"$LX_DIR/scan.expected"
sc_check_file "the log: LF lines, the skip line, a result per entry" "$LX_DIR/scan.log" "$LX_DIR/scan.expected"
e2e_check_eq "on disk: each value as Samba packs it, only the hidden bit gone" \
  "$(printf '%s ok\n' a_text.txt b_v3.txt c_v4.txt d_v5.txt f_dir f_dir/g_v5.txt f_dir/h_v3.txt f_dir/i_text.txt j_locked.txt)" \
  "$(dos state text 0x20 a_text.txt; dos state 3 0x20 b_v3.txt; dos state 4 0x26 c_v4.txt
     dos state 5 0x21 d_v5.txt; dos state 4 0x10 f_dir; dos state 5 0x26 f_dir/g_v5.txt
     dos state 3 0x0 f_dir/h_v3.txt; dos state text 0x20 f_dir/i_text.txt
     dos state text 0x2 j_locked.txt)"
e2e_check "the plain file got no value" sh -c "! getfattr -n user.DOSATTRIB e_plain.txt 2>/dev/null"

# --- 3: a file system that keeps no DOS attributes
shm=$(mktemp -d /dev/shm/zavero-e2e.XXXXXX)
wl_on_exit rm -rf "$shm"
touch "$shm/x.txt"
"$ZAVERO" LIST "" "$shm" >"$LX_DIR/shm.out" 2>"$LX_DIR/shm.err"
status=$?
e2e_check_eq "tmpfs without values: one line on standard error, nothing selected, status 0" \
  "zavero: $shm is on a file system that keeps no DOS attributes; nothing there can be selected|0|0" \
  "$(cat "$LX_DIR/shm.err")|$(wc -l <"$LX_DIR/shm.out")|$status"

# --- 4
mkdir "$LX_DIR/word" && echo doc >"$LX_DIR/word/report.doc" && dos set text 0x12 "$LX_DIR/word/report.doc"
"$ZAVERO" LIST "" "$LX_DIR/word" "*" 0 1 >"$LX_DIR/word.out" 2>"$LX_DIR/word.err"
status=$?
e2e_check_eq "a file whose stored word says folder: a files-only run lists it, no line, status 0" \
  "$LX_DIR/word/report.doc||0" "$(cat "$LX_DIR/word.out")|$(cat "$LX_DIR/word.err")|$status"

e2e_end
