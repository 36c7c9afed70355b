# shellcheck shell=bash
# Checks shared by the scan scenarios (clearing, listing, drive scan): the state of a tree on
# disk, the exact bytes of the run log and the rows of the finished screen. Source it after
# lib.sh.
#
# Folder listings under Wine come sorted by name (Wine sorts every listing, as NTFS does), so
# the scenarios write the expected walk order by hand from their trees: a folder's own
# entries in name order, then each subfolder's whole tree in name order. The names within one
# folder start with different lower-case letters, so that any sensible name order gives the
# same sequence.

# sc_tree_make ROOT < LINES: wl_tree_make, except that without root rights the read-only
# marks are dropped (with a note): the kernel lets nobody else write user.DOSATTRIB on an
# entry without write permission, so Wine could not clear such an entry and the scenario
# would test the machine's rights instead of the program.
sc_tree_make() {
  if [ "$(id -u)" = 0 ]; then
    wl_tree_make "$1"
  else
    echo "# not root: read-only entries are made writable (Wine cannot change their attributes)"
    sed -E 's/^([df])[[:blank:]]+r/\1 /' | wl_tree_make "$1"
  fi
}

# sc_state ROOT: one line per entry below ROOT, sorted: path, kind, Unix mode and the DOS bits
# Wine keeps (0x0 when the entry has none), separated by tabs. Everything a run may change.
sc_state() {
  local root=$1
  # One getfattr for the whole tree (it names only entries that have the attribute); Wine
  # writes the value as wl_attr_set does, "0x2", "0x4" or "0x6".
  awk -F '\t' '
    FNR == NR {
      if (sub(/^# file: \.\//, "")) name = $0
      else if (sub(/^user\.DOSATTRIB="/, "")) { sub(/".*/, ""); bits[name] = $0 }
      next
    }
    { printf "%s\t%s\t%s\t%s\n", $1, $2, $3, ($1 in bits) ? bits[$1] : "0x0" }
  ' <(cd "$root" && getfattr -R -d -m '^user\.DOSATTRIB$' --absolute-names . 2>/dev/null) \
    <(find "$root" -mindepth 1 -printf '%P\t%y\t%m\n' | LC_ALL=C sort)
}

# sc_state_cleared STATE REL...: STATE (from sc_state) as a clearing run with include mask 2
# must leave it: the entries REL without their hidden bit, everything else as it was.
sc_state_cleared() {
  local state=$1; shift
  local rel line out='' bits
  declare -A cleared=()
  for rel in "$@"; do cleared[$rel]=1; done
  while IFS=$'\t' read -r rel kind mode bits; do
    [ -n "${cleared[$rel]:-}" ] && bits=$(printf '0x%x' $(( bits & ~2 )))
    out+=$(printf '%s\t%s\t%s\t%s' "$rel" "$kind" "$mode" "$bits")$'\n'
  done <<<"$state"
  printf '%s' "$out"
}

# sc_crlf LINE...: the lines as the run log holds them, each ended by CR LF.
sc_crlf() { printf '%s\r\n' "$@"; }

# sc_expected_log FILE MODE INCLUDE SKIP PATTERN FOLDER SKIPPED SELECTED: writes to FILE the
# bytes of the log of a run in MODE (clear or list) with the masks INCLUDE and SKIP (as the
# log writes them), PATTERN and the start folder FOLDER (empty: none); SKIPPED and SELECTED
# name arrays of full paths, in walk order: the skip lines and the treated entries.
sc_expected_log() {
  local file=$1 mode=$2 include=$3 skip=$4 pattern=$5 folder=$6 p
  local -n _skipped=$7 _selected=$8
  {
    sc_crlf "QOR_ZAVERO has been started..."
    if [ "$mode" = clear ]; then sc_crlf "Clear attributes: \$$include"; else sc_crlf "include attributes: \$$include"; fi
    sc_crlf "skip attributes: \$$skip" "searching files: $pattern"
    [ -z "$folder" ] || sc_crlf "search in folder: $folder"
    for p in "${_skipped[@]}"; do sc_crlf " skipped (attributes \$$skip): $p"; done
    if [ "$mode" = clear ]; then
      sc_crlf " clearing..."
      for p in "${_selected[@]}"; do sc_crlf "   $p" "     ...sucsess!"; done
    else
      sc_crlf " listing..."
      for p in "${_selected[@]}"; do sc_crlf "   $p"; done
    fi
    [ ${#_skipped[@]} = 0 ] || sc_crlf "$(sc_left_alone ${#_skipped[@]} "$skip" "$pattern" "$include")"
    sc_crlf "finished!"
  } >"$file"
}

# sc_left_alone COUNT SKIP PATTERN INCLUDE: the line before "finished!" of a run with the
# default flags that left COUNT entries alone for the skip mask.
sc_left_alone() {
  local what=entries; [ "$1" = 1 ] && what=entry
  printf '%s\n' " $1 $what skipped (attributes \$$2); take them with parameters 4-8: $3 1 1 0 $((16#$4))"
}

# sc_check_file DESC FILE EXPECTED_FILE: passes when both files hold the same bytes; shows
# the difference (with line ends made visible) otherwise.
sc_check_file() {
  if cmp -s "$2" "$3"; then _e2e_result 0 "$1"; return 0; fi
  _e2e_result 1 "$1"
  echo "#   (< expected, > actual; ^M\$ is CR LF)"
  diff <(cat -A "$3" 2>&1) <(cat -A "$2" 2>&1) | sed 's/^/#   /' | head -n 40
  return 1
}

# sc_row_text PATH: the row the clearing or listing phase draws for PATH, as the screen
# shows it: two blanks and the path, cut at the buffer width, trailing blanks gone.
sc_row_text() {
  local row="  $1"
  row=${row:0:$WL_TMUX_COLS}
  printf '%s\n' "${row%"${row##*[![:space:]]}"}"
}

# sc_check_rows CONSOLE PATH...: the paths stand on rows 4, 5, ... (SC_END_LINE, when set, on
# the row after them) and every other row from there up to row 150 is blank; the first and the last path row are light blue (colour 9 =
# SGR 94). One capture of the screen for the texts: a tmux call per row takes a tenth of a
# second on a busy machine.
sc_check_rows() {
  local console=$1; shift
  local desc="$console: one light blue row per path from row 4 on, then blank rows"
  local -a screen
  local row=4 path bad='' sgr last=$(($# + 3)) line
  mapfile -t screen < <(wl_screen "$console")
  for path in "$@"; do
    line=${screen[row]:-}; line=${line%"${line##*[![:space:]]}"}
    [ "$line" = "$(sc_row_text "$path")" ] || bad+=" row $row: [$line] not [$(sc_row_text "$path")];"
    row=$((row + 1))
  done
  if [ -n "${SC_END_LINE:-}" ]; then
    line=${screen[row]:-}; line=${line%"${line##*[![:space:]]}"}
    [ "$line" = "$SC_END_LINE" ] || bad+=" row $row: [$line] not [$SC_END_LINE];"
    row=$((row + 1))
  fi
  for ((; row <= 150; row++)); do
    line=${screen[row]:-}; line=${line%"${line##*[![:space:]]}"}
    [ -z "$line" ] || bad+=" row $row not blank: [$line];"
  done
  if [ $# -gt 0 ]; then
    for row in 4 "$last"; do
      sgr=$(wl_sgr_at "$console" "$row" "$(sc_row_text "${@:row-3:1}")") || sgr=''
      wl_sgr_has "$sgr" 94 || bad+=" row $row not light blue (SGR '$sgr');"
    done
  fi
  if [ -z "$bad" ]; then _e2e_result 0 "$desc"; return 0; fi
  _e2e_result 1 "$desc"
  echo "# $bad"
  return 1
}

# sc_check_frame CONSOLE BANNER_ROW LOG_PATH FOUND PHASE: the rows around the paths: the
# banner (light red) and "Writing to: " line (white) from BANNER_ROW on, " files found: FOUND"
# on row 2 (white), the phase line on row 3 (light blue) and
# "finished!" on row 151 (light red).
sc_check_frame() {
  local console=$1 first=$2 log=$3 found=$4 phase=$5
  e2e_check_eq "$console: banner on row $first" "QOR_ZAVERO has been started..." "$(wl_row "$console" "$first")"
  e2e_check "$console: banner in light red (SGR 91)" \
    wl_sgr_has "$(wl_sgr_at "$console" "$first" QOR_ZAVERO)" 91
  e2e_check_eq "$console: log path on row $((first + 1))" "Writing to: $log" "$(wl_row "$console" $((first + 1)))"
  e2e_check_eq "$console: row 2: the count of entries found" " files found: $found" "$(wl_row "$console" 2)"
  e2e_check "$console: row 2 in white (SGR 97)" wl_sgr_has "$(wl_sgr_at "$console" 2 ' files found:')" 97
  e2e_check_eq "$console: row 3: the phase line" "$phase" "$(wl_row "$console" 3)"
  e2e_check "$console: phase line in light blue (SGR 94)" wl_sgr_has "$(wl_sgr_at "$console" 3 "$phase")" 94
  e2e_check_eq "$console: row 151: finished!" "finished!" "$(wl_row "$console" 151)"
  e2e_check "$console: finished! in light red (SGR 91)" wl_sgr_has "$(wl_sgr_at "$console" 151 finished!)" 91
}

# sc_check_outputs CONSOLE MODE LOG EXPECTED LOG_WIN DESC PATH...: after a run in MODE (clear
# or list) that treated the PATHs: its log LOG holds exactly the bytes of EXPECTED (check
# DESC), and its screen the banner, LOG_WIN, the found count (the number of paths), the phase
# line, the paths, the expected log's line on entries left alone and "finished!".
sc_check_outputs() {
  local console=$1 mode=$2 log=$3 expected=$4 log_win=$5 desc=$6 phase=" listing..."
  shift 6
  [ "$mode" = clear ] && phase=" clearing..."
  sc_check_file "$console: $desc" "$log" "$expected"
  sc_check_frame "$console" 0 "$log_win" $# "$phase"
  SC_END_LINE=$(sed -n 's/\r$//; /^ [0-9]* entr[a-z]* skipped (/p' "$expected") sc_check_rows "$console" "$@"
}

# sc_run_to_end CONSOLE LOG SECONDS: waits until the run has written "finished!" to its log
# and drawn it on row 151; the whole screen is kept as CONSOLE.screen / .ansi. Ends the
# scenario when the run does not get there.
sc_run_to_end() {
  local console=$1 log=$2 limit=$3 t0=$SECONDS
  wl_wait_until "$limit" grep -q '^finished!' "$log" 2>/dev/null
  wl_wait_row "$console" 151 finished! 30
  e2e_save_screen "$console" "$console"
  e2e_require "$console ran to \"finished!\" in log and on screen ($((SECONDS - t0)) s)" \
    _sc_finished "$console" "$log"
}
_sc_finished() { grep -q '^finished!' "$2" 2>/dev/null && [ "$(wl_row "$1" 151)" = finished! ]; }

# sc_stop CONSOLE PID: the run idles after "finished!" (the question box has no display, so
# it is answered at once): checks that it is still alive, then ends it with Ctrl+C.
sc_stop() {
  e2e_check "$1 still idles after finishing" wl_proc_alive "$2"
  wl_console_keys "$1" C-c
  e2e_check "$1 ends on Ctrl+C" wl_wait_gone "$2" 30
}

# ---------------------------------------------------------------- the sample tree

# sc_sample_tree ROOT: the tree of the clearing and listing scenarios: hidden, hidden+system,
# system, plain and read-only files and folders at several depths, a name with blanks and a
# hidden folder whose name looks like a file's.
sc_sample_tree() {
  # KIND BITS PATH (see wl_tree_make): r = read-only, 0x2 hidden, 0x4 system, 0x6 both.
  sc_tree_make "$1" <<'TREE'
f 0x2   a_hidden.txt
f 0x6   b_hidsys.txt
f 0x4   c_system.txt
f -     d_plain.txt
f r0x2  e_rohidden.txt
d 0x2   f_hiddir
f 0x2   f_hiddir/inner.txt
d 0x6   g_hidsysdir
f 0x2   g_hidsysdir/a_deep.txt
f 0x6   g_hidsysdir/b_deep_hs.txt
d r0x2  h_rohiddir
f 0x2   h_rohiddir/x.txt
d -     sub
f 0x2   sub/a.txt
f 0x6   sub/b_hs.txt
f 0x4   sub/c_sys.txt
f r-    sub/d_ro.txt
d 0x6   sub/e_hsdir
d 0x2   sub/f_hdir
d 0x2   sub/f_hdir/g
f 0x2   sub/f_hdir/g/leaf.txt
d 0x4   sub/g_sysdir
f r0x6  sub/h_rohs.txt
f 0x2   sub/i with blanks.txt
d 0x2   sub/j_dir.txt
f 0x2   sub/j_dir.txt/z.txt
TREE
}

# What a run over the sample tree with the default pattern, flags and masks (include 2,
# skip 4) selects and skips, in walk order: the start folder's own entries, then the
# folders f_hiddir, g_hidsysdir, h_rohiddir, sub, sub/e_hsdir, sub/f_hdir, sub/f_hdir/g,
# sub/g_sysdir, sub/j_dir.txt. Each hidden+system entry gets a skip line, the start folder's
# own too.
SC_SAMPLE_SELECTED=(
  a_hidden.txt e_rohidden.txt f_hiddir h_rohiddir
  f_hiddir/inner.txt
  g_hidsysdir/a_deep.txt
  h_rohiddir/x.txt
  sub/a.txt sub/f_hdir 'sub/i with blanks.txt' sub/j_dir.txt
  sub/f_hdir/g
  sub/f_hdir/g/leaf.txt
  sub/j_dir.txt/z.txt
)
SC_SAMPLE_SKIPPED=(b_hidsys.txt g_hidsysdir g_hidsysdir/b_deep_hs.txt sub/b_hs.txt sub/e_hsdir sub/h_rohs.txt)

# sc_winpaths BASE REL...: BASE\REL for each REL, "/" turned into "\", one a line; no
# doubled separator when BASE already ends in "\".
sc_winpaths() {
  local base=${1%\\} rel p; shift
  for rel in "$@"; do p="$base\\$rel"; printf '%s\n' "${p//\//\\}"; done
}
