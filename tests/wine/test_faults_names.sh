#!/usr/bin/env bash
# A name only a Linux file system holds: ESC/BEL sequences that would set the title, clear the
# screen and turn text red (Wine refuses every path that holds a control character). The
# entry is cleared all the same; its log line and its row show each control byte as \xHH and
# the title stays the program's. The start folder "-h" is given relative to the working
# folder. One start of the program.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
export LC_ALL=C.UTF-8    # Linux names are UTF-8 to Wine
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_names

tree=$E2E_BIN/-h
name=x$'\e]0;OWNED\a\e[2J\e[31mEVIL'
mkdir -p "$tree/d" && : >"$tree/d/$name"
fc_attrs "$tree" 0x2 "d/$name"
log=$E2E_DIR/names.log
shown='-h\d\x\x1B]0;OWNED\x07\x1B[2J\x1B[31mEVIL'
sc_crlf "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4' \
  'searching files: *' 'search in folder: -h' " clearing..." "   $shown" "     ...sucsess!" \
  "finished!" >"$E2E_DIR/names.expected"

e2e_zavero_start names CLEAR "$(wl_winpath "$log")" -h
pid=$E2E_PID
sc_run_to_end names "$log" 180
sc_check_file "the log: the control bytes as \\xHH, and \"sucsess!\"" "$log" "$E2E_DIR/names.expected"
sc_check_frame names 0 "$(wl_winpath "$log")" 1 " clearing..."
sc_check_rows names "$shown"
e2e_check_eq "on disk the entry lost the hidden bit" 0x0 "$(wl_attr_get "$tree/d/$name")"
e2e_check_eq "the name's sequences set no title" "ZAVERO von QOR" "$(wl_console_title names)"
sc_stop names "$pid"
e2e_end
