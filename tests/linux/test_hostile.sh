#!/usr/bin/env bash
# Media that malware controls, on Samba's store:
#   1. names holding ESC/BEL/CSI sequences (title, clear screen, red), a C1 CSI (as a character
#      and as a lone byte), a newline and a backslash: every control byte shows as \xHH and a
#      backslash as \\, one line per path, on a terminal (title kept), in a pipe and in the log;
#      CLEAR clears each of them;
#   2. a pattern with a folder separator: one line on standard error, status 2, nothing listed;
#   3. in a job-control shell: Ctrl+Z gives the terminal back wrapping lines, fg draws the
#      program's screen again (the shell's lines gone, wrapping off), Ctrl+\ ends it: 131, the
#      terminal restored;
#   4. a log planted as a link to a file outside, or as a FIFO: one line on stderr, status 3.
. "$(dirname "$0")/lib.sh"
lx_begin hostile

t=$LX_DIR/t
names=(x$'\e]0;OWNED\a\e[2J\e[31mEVIL' $'two\nlines' c1$'\xc2\x9b'31m raw$'\x9b'31m 'back\slash' sub/a)
mkdir -p "$t/sub"
for n in "${names[@]}" a; do : >"$t/$n" && wl_attr_set "$t/$n" 0x2; done
wl_attr_set "$t/a" 0x6
shown=("$t/"{'back\\slash','c1\xC2\x9B31m','raw\x9B31m','two\x0Alines','x\x1B]0;OWNED\x07\x1B[2J\x1B[31mEVIL',sub/a})

"$ZAVERO" CLEAR "" "$t" 'sub/*' >"$LX_DIR/pattern.out" 2>"$LX_DIR/pattern.err"
status=$?
e2e_check_eq "a pattern with a separator: one line on standard error, status 2, nothing touched" \
  "zavero: the pattern sub/* holds a folder separator; a pattern matches names only|2||0x6 0x2" \
  "$(cat "$LX_DIR/pattern.err")|$status|$(cat "$LX_DIR/pattern.out")|$(wl_attr_get "$t/a") $(wl_attr_get "$t/sub/a")"

"$ZAVERO" LIST "$LX_DIR/list.log" "$t" | cat >"$LX_DIR/pipe.out"
e2e_check_eq "the pipe: one line per path, control bytes as \\xHH, a backslash doubled" \
  "$(printf '%s\n' "${shown[@]}")" "$(cat "$LX_DIR/pipe.out")"
e2e_check_eq "the log: the same forms" "$(printf '   %s\n' "${shown[@]}")" "$(grep '^   ' "$LX_DIR/list.log")"

lx_start tty 200 40 "$LX_DIR" LIST "" "$t"
e2e_check_eq "the terminal run ends with status 0" 0 "$(lx_exit_status tty 30)"
e2e_check_eq "the terminal: the same forms, a row each" "$(printf '  %s\n' "${shown[@]}")" \
  "$(wl_screen tty | grep -F -- "  $t/" | sed 's/ *$//')"
e2e_check_eq "the terminal keeps the program's title" "ZAVERO von QOR" "$(wl_console_title tty)"

"$ZAVERO" CLEAR "" "$t" >/dev/null
e2e_check_eq "CLEAR clears every such entry; the hidden+system one stays" "0x0 0x0 0x0 0x0 0x0 0x0 0x6" \
  "$(for n in "${names[@]}" a; do wl_attr_get "$t/$n"; done | xargs)"

echo outside >"$LX_DIR/outside.txt"; ln -s "$LX_DIR/outside.txt" "$LX_DIR/link.log"; mkfifo "$LX_DIR/fifo.log"
for log in link fifo; do
  timeout 20 "$ZAVERO" LIST "$LX_DIR/$log.log" "$t" "*" 1 1 0 >/dev/null 2>"$LX_DIR/$log.err"; status=$?
  e2e_check_eq "a $log as the log: one line on standard error, status 3, the link's file untouched" \
    "zavero: cannot write the log $LX_DIR/$log.log; the run goes on without it|3|outside" \
    "$(cat "$LX_DIR/$log.err")|$status|$(cat "$LX_DIR/outside.txt")"
done

# --- job control, while a walk of 2,000 folders (10 s at least) is on its way
mkdir -p "$LX_DIR/many/d"{0..1999}
wl_console_start jobs "$LX_DIR" env PS1='$ ' bash --norc --noprofile -i
wl_console_keys jobs "$(printf %q "$ZAVERO") LIST '' many" Enter
wl_wait_screen jobs '^ scanning folder' 20 || wl_die "the walk did not start"
wl_console_keys jobs C-z
wl_wait_screen jobs 'Stopped' 10
e2e_check_eq "Ctrl+Z: the program stops with line wrapping on" 1 "$(wl_console_get jobs '#{wrap_flag}')"
wl_console_keys jobs fg Enter
wl_wait_until 10 eval '! wl_screen_has jobs Stopped'
e2e_check_eq "fg: the program's screen again (no line of the shell's left), wrapping off" \
  "QOR_ZAVERO has been started...|0|0" \
  "$(wl_row jobs 0)|$(wl_screen jobs | grep -c Stopped)|$(wl_console_get jobs '#{wrap_flag}')"
wl_console_keys jobs 'C-\'
wl_wait_screen jobs '^\$' 10
wl_console_keys jobs 'echo "status=$?"' Enter
wl_wait_screen jobs '^status=' 10
e2e_check_eq "Ctrl+\\: status 131, line wrapping on again" "status=131|1" \
  "$(wl_screen jobs | grep '^status=')|$(wl_console_get jobs '#{wrap_flag}')"

e2e_end
