#!/usr/bin/env bash
# A winmm.dll planted beside zavero.exe never runs. The DLL (tools/planted_winmm.c) marks every
# process that loads it with a file beside itself and otherwise behaves like winmm's timer
# functions. Wine prefers its own builtin DLLs, so winmm is set native-first, which stands in
# for Windows, where the program's folder is searched first for every DLL that is not one of
# its known DLLs. A whole clearing run with the DLL in place: no mark, and the log and the disk
# come out exactly as without it.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin planted_dll
began=$SECONDS

planted=$E2E_BIN/winmm.dll
i686-w64-mingw32-gcc -shared -O2 -Wall -Wextra -o "$planted" \
  "$E2E_LIB_DIR/tools/planted_winmm.c" -Wl,--kill-at >"$E2E_DIR/planted.build.log" 2>&1 ||
  wl_die "cannot build the planted DLL (see $E2E_DIR/planted.build.log)"
export WINEDLLOVERRIDES="$WL_DLLOVERRIDES;winmm=n,b"

tree=$E2E_DIR/tree
sc_sample_tree "$tree"
before=$(sc_state "$tree")
log=$E2E_BIN/clear.log
tree_win=$(wl_winpath "$tree")
mapfile -t paths < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SELECTED[@]}")
mapfile -t skips < <(sc_winpaths "$tree_win" "${SC_SAMPLE_SKIPPED[@]}")
sc_expected_log "$E2E_DIR/clear.expected" clear 2 4 '*' "$tree_win" skips paths

# A bare log name goes beside the program, where the DLL lies too.
e2e_zavero_start planted CLEAR clear.log "$tree_win"
pid=$E2E_PID
sc_run_to_end planted "$log" 180
# The mark takes the name the DLL was loaded by (WINMM.DLL.ran for an import).
e2e_check_eq "the planted winmm.dll never ran" '' "$(find "$E2E_BIN" -iname 'winmm.dll.ran')"
sc_check_file "the log holds exactly the lines of a run without it" "$log" "$E2E_DIR/clear.expected"
e2e_check_eq "on disk exactly the selected entries lost the hidden bit" \
  "$(sc_state_cleared "$before" "${SC_SAMPLE_SELECTED[@]}")" "$(sc_state "$tree")"
sc_stop planted "$pid"
echo "# planted_dll took $((SECONDS - began)) s"
e2e_end
