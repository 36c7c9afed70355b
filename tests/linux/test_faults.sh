#!/usr/bin/env bash
# Faults, said plainly, on Samba's store (user.DOSATTRIB on this machine's disk):
#   1. a start folder that does not exist: one line on standard error, status 2, and the log
#      is still written, to "finished!";
#   2. a log that cannot be written (its folder is missing): one line on standard error, the
#      run goes on and clears, status 3 (the log is incomplete);
#   2b. standard output a pipe nobody reads: the same, for the output;
#   2c. a walk 1,000 folders deep with 255-byte names: peak memory as the depth, not its square;
#   3. SIGTERM in the middle of clearing 20,000 entries: status 143; every log line whole;
#      exactly the entries logged as cleared, and at most the one in hand, lost the bit;
#   4. Ctrl+C in a terminal in the middle of clearing: status 130, and the terminal left as
#      it was (line wrapping on again).
. "$(dirname "$0")/lib.sh"
lx_begin faults

# --- 1
"$ZAVERO" LIST "$LX_DIR/missing.log" "$LX_DIR/nowhere" >/dev/null 2>"$LX_DIR/missing.err"
status=$?
e2e_check_eq "a missing start folder: one line on standard error, status 2" \
  "zavero: cannot read the start folder $LX_DIR/nowhere|2" "$(cat "$LX_DIR/missing.err")|$status"
e2e_check_eq "... and its log is written to the end" "finished!" "$(tail -n1 "$LX_DIR/missing.log")"

# --- 2
mkdir -p "$LX_DIR/small"
echo x >"$LX_DIR/small/h.txt"
setfattr -n user.DOSATTRIB -v '"0x2"' "$LX_DIR/small/h.txt"
"$ZAVERO" CLEAR "$LX_DIR/no/such/folder/x.log" "$LX_DIR/small" >"$LX_DIR/nolog.out" 2>"$LX_DIR/nolog.err"
status=$?
e2e_check_eq "a log that cannot be written: one line on standard error, the run goes on, status 3" \
  "zavero: cannot write the log $LX_DIR/no/such/folder/x.log; the run goes on without it|3|$LX_DIR/small/h.txt	...sucsess!" \
  "$(cat "$LX_DIR/nolog.err")|$status|$(cat "$LX_DIR/nolog.out")"

# --- 2b
mkdir "$LX_DIR/pipe" && touch "$LX_DIR/pipe/h"{1,2,3} && setfattr -n user.DOSATTRIB -v '"0x2"' "$LX_DIR/pipe/h"{1,2,3}
/usr/bin/python3 -c 'import os, sys; r, w = os.pipe(); os.close(r); os.dup2(w, 1); os.execv(sys.argv[1], sys.argv[1:])' \
  "$ZAVERO" CLEAR "$LX_DIR/pipe.log" "$LX_DIR/pipe" 2>"$LX_DIR/pipe.err"
status=$?
e2e_check_eq "a pipe nobody reads: every entry cleared, the log to its end, one line, status 3" \
  "0x0 0x0 0x0|finished!|zavero: cannot write to standard output; lines are missing from it|3" \
  "$(for f in h1 h2 h3; do wl_attr_get "$LX_DIR/pipe/$f"; done | xargs)|$(tail -n1 "$LX_DIR/pipe.log")|$(cat "$LX_DIR/pipe.err")|$status"

# --- 2c: ASan's quarantine off, so that the peak is what the program holds
mkdir "$LX_DIR/deep" && (cd "$LX_DIR/deep" && /usr/bin/python3 -c 'import os
for _ in range(1000): os.mkdir("d" * 255); os.chdir("d" * 255)')
peak=$(ASAN_OPTIONS=quarantine_size_mb=0 /usr/bin/time -f %M "$ZAVERO" LIST "" "$LX_DIR/deep" 2>&1 >/dev/null | tail -n1)
e2e_check "1,000 deep: a peak of $peak KB, below the 128 MB that each level's whole path would take" \
  test "$peak" -lt 100000

# --- 3 and 4: a tree large enough to be caught while clearing
big=$LX_DIR/big
/usr/bin/python3 - "$big" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(10):
    folder = os.path.join(root, "d%02d" % d)
    os.makedirs(folder)
    for f in range(2000):
        path = os.path.join(folder, "f%04d" % f)
        open(path, "w").close()
        os.setxattr(path, "user.DOSATTRIB", b"0x2")
PY
# hidden_left: how many of the tree's files still carry the hidden bit.
hidden_left() { getfattr -R -n user.DOSATTRIB --absolute-names "$big" 2>/dev/null | grep -c '^user.DOSATTRIB="0x2"$' || true; }
# check_cut LOG WHAT: every line of LOG whole, and the bits on disk as its lines say.
check_cut() {
  local log=$1 what=$2 cleared
  e2e_check "$what: the log ends with a whole line" sh -c "[ \"\$(tail -c1 '$log' | od -An -c | tr -d ' ')\" = '\\n' ]"
  e2e_check_eq "$what: every line is one the program writes" "" \
    "$(grep -v -E '^(QOR_ZAVERO has been started\.\.\.|Clear attributes: \$2|skip attributes: \$4|searching files: \*|search in folder: .*| clearing\.\.\.|   .*/d[0-9]{2}/f[0-9]{4}|     \.\.\.sucsess!)$' "$log")"
  cleared=$(grep -c '^     \.\.\.sucsess!$' "$log")
  local gone=$((20000 - $(hidden_left)))
  e2e_check "$what: $cleared entries logged as cleared, $gone cleared on disk (the one in hand at most more)" \
    test "$gone" -ge "$cleared" -a "$gone" -le $((cleared + 1)) -a "$cleared" -gt 0 -a "$cleared" -lt 20000
}

"$ZAVERO" CLEAR "$LX_DIR/term.log" "$big" >/dev/null 2>&1 &
pid=$!
wl_wait_until 120 sh -c "grep -c sucsess '$LX_DIR/term.log' 2>/dev/null | grep -q '[0-9][0-9][0-9]'"
kill -TERM "$pid"
wait "$pid"
e2e_check_eq "SIGTERM while clearing: status 143" 143 "$?"
check_cut "$LX_DIR/term.log" SIGTERM

# Put every bit back, then Ctrl+C in a terminal.
getfattr -R -n user.DOSATTRIB --absolute-names "$big" 2>/dev/null | sed 's/^user.DOSATTRIB=.*/user.DOSATTRIB="0x2"/' |
  setfattr --restore=-
e2e_check_eq "the tree is hidden again" 20000 "$(hidden_left)"
lx_start ctrlc 120 30 "$LX_DIR" CLEAR ctrlc.log "$big"
wl_wait_until 120 sh -c "grep -c sucsess '$LX_DIR/ctrlc.log' 2>/dev/null | grep -q '[0-9][0-9][0-9]'"
e2e_check_eq "the run draws with line wrapping off" 0 "$(wl_console_get ctrlc '#{wrap_flag}')"
wl_console_keys ctrlc C-c
e2e_check_eq "Ctrl+C while clearing: status 130" 130 "$(lx_exit_status ctrlc 20)"
e2e_check_eq "the terminal wraps lines again" 1 "$(wl_console_get ctrlc '#{wrap_flag}')"
check_cut "$LX_DIR/ctrlc.log" Ctrl+C

e2e_end
