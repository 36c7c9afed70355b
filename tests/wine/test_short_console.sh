#!/usr/bin/env bash
# Consoles shorter than the classic 152 rows, as Windows Terminal and any console as tall as
# its window give them: a listing run over 40 hidden files in 120 x 30 and in 80 x 25. The
# per-entry rows cycle through rows 3 to H-2 (the k-th entry on row 3 + k mod (H-4)), and
# "finished!" stands alone on the last row, H-1, in light red; rows 0 to 2 keep the banner,
# the log path and the found count. Nothing lands outside the buffer, so the last entry's row
# is whole. A third run, made 80 x 25 from 200 x 160 while it walks, ends the same.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin short_console
began=$SECONDS
umask 022

tree=$E2E_DIR/tree
{ for i in $(seq -w 0 39); do printf 'f 0x2   d/h%s.txt\n' "$i"; done
  for i in $(seq 100 249); do printf 'f 0x6   a%s/s.sys\n' "$i"; done; } | sc_tree_make "$tree"
tree_win=$(wl_winpath "$tree")
mapfile -t paths < <(for i in $(seq -w 0 39); do printf '%s\\d\\h%s.txt\n' "$tree_win" "$i"; done)

# short_run NAME COLS ROWS [SHRINKER]: one listing run in a COLS x ROWS console, checked row by
# row; with SHRINKER (tools/shrink_console.c) the console is made so at the first skip line.
short_run() {
  local name=$1 cols=$2 rows=$3 r k band=$(($3 - 4)) bad=''
  local -a want screen
  WL_TMUX_COLS=$cols WL_TMUX_ROWS=$rows
  [ -z "${4:-}" ] || WL_TMUX_COLS=200 WL_TMUX_ROWS=160
  wl_console_start "$name" "$E2E_BIN" wine ${4:+"$4" "$cols" "$rows" "$name.log" skipped} \
    "$(wl_winpath "$E2E_EXE")" LIST "$name.log" "$tree_win" || wl_die "console $name did not start"
  local pid; pid=$(wl_console_pid "$name")
  wl_wait_until 120 grep -q '^finished!' "$E2E_BIN/$name.log"
  wl_wait_row "$name" $((rows - 1)) finished! 30
  e2e_save_screen "$name" "$name"
  [ -n "${4:-}" ] ||
    e2e_check_eq "$name: the console is $cols x $rows" "${cols}x$rows" "$(wl_console_size "$name")"

  want[0]="QOR_ZAVERO has been started..."
  want[1]="Writing to: $E2E_BIN_WIN\\$name.log"
  want[2]=" files found: ${#paths[@]}"
  for ((k = 1; k <= ${#paths[@]}; k++)); do want[3 + k % band]=$(sc_row_text "${paths[k - 1]}"); done
  want[3 + k % band]=$(sc_left_alone 150 4 '*' 2)  # the row after the last entry's
  want[rows - 1]="finished!"
  mapfile -t screen < <(wl_screen "$name")
  for ((r = 0; r < rows; r++)); do
    local line=${screen[r]:-}
    line=${line:0:cols}  # a shrunk buffer leaves the pane's cells beyond it as they were
    line=${line%"${line##*[![:space:]]}"}
    [ "$line" = "${want[r]:-}" ] || bad+=" row $r: [$line] not [${want[r]:-}];"
  done
  if [ -z "$bad" ]; then _e2e_result 0 "$name: every row as the short layout puts it"
  else _e2e_result 1 "$name: every row as the short layout puts it"; echo "# $bad"; fi
  e2e_check "$name: finished! in light red (SGR 91)" \
    wl_sgr_has "$(wl_sgr_at "$name" $((rows - 1)) finished!)" 91
  e2e_check "$name: the entries in light blue (SGR 94)" \
    wl_sgr_has "$(wl_sgr_at "$name" 3 "${want[3]}")" 94
  e2e_check_eq "$name: the cursor right after finished!" "9,$((rows - 1))" \
    "$(wl_console_get "$name" '#{cursor_x},#{cursor_y}')"
  sc_stop "$name" "$pid"
}

short_run wt 120 30
short_run small 80 25
short_run shrunk 80 25 "$(fc_tool shrink_console)"

echo "# short_console took $((SECONDS - began)) s"
e2e_end
