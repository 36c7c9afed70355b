# shellcheck shell=bash
# Scenario helpers for the end-to-end tests of zavero.exe under Wine; the Wine, console,
# display and attribute functions (wl_*) come from tools/wine-lib.sh.
#
# A scenario:
#   . "$(dirname "$0")/lib.sh"
#   e2e_begin NAME                  # own folder, prefix, wineserver; all ended on exit
#   e2e_zavero_start run1 LIST scan.log 'Z:\some\folder'
#   e2e_check_eq "banner" "QOR_ZAVERO has been started..." "$(wl_row run1 0)"
#   e2e_end                         # "N passed, N failed"; fails the test on any failure
#
# ctest sets ZAVERO_EXE, ZAVERO_BUILD and ZAVERO_SOURCE; run by hand, the build folder is
# taken from the working folder (or ZAVERO_BUILD) and the exe from it.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tools/wine-lib.sh
. "$E2E_LIB_DIR/../../tools/wine-lib.sh"

E2E_PASSED=0
E2E_FAILED=0

# e2e_begin NAME: prepares the scenario NAME:
#   E2E_DIR     <build>/e2e/NAME, emptied: the scenario's files, screens and logs stay here
#   E2E_BIN     E2E_DIR/bin, holding a copy of zavero.exe (so a bare log name lands there)
#   E2E_EXE     that copy;  E2E_BIN_WIN  the folder as Windows sees it
#   WINEPREFIX  <build>/wine/e2e-NAME, fresh from the build's template prefix, with its
#               wineserver running until the scenario ends
e2e_begin() {
  E2E_NAME=$1
  WL_TAG=e2e.$E2E_NAME
  wl_init
  ZAVERO_BUILD=${ZAVERO_BUILD:-$(wl_build_dir "$PWD")}
  [ -n "$ZAVERO_BUILD" ] || wl_die "no build folder (set ZAVERO_BUILD)"
  ZAVERO_EXE=${ZAVERO_EXE:-$ZAVERO_BUILD/zavero.exe}
  [ -f "$ZAVERO_EXE" ] || wl_die "no program at $ZAVERO_EXE"
  E2E_DIR=$ZAVERO_BUILD/e2e/$E2E_NAME
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR/bin"
  WL_SCRATCH=$E2E_DIR
  E2E_BIN=$E2E_DIR/bin
  E2E_EXE=$E2E_BIN/zavero.exe
  cp "$ZAVERO_EXE" "$E2E_EXE"
  WL_WINE_ROOT=$ZAVERO_BUILD/wine
  wl_prefix_fresh "$WL_WINE_ROOT/e2e-$E2E_NAME" || wl_die "no Wine prefix"
  wl_prefix_use "$WL_WINE_ROOT/e2e-$E2E_NAME"
  unset DISPLAY
  wl_server_start
  E2E_BIN_WIN=$(wl_winpath "$E2E_BIN")
  echo "# $E2E_NAME: files in $E2E_DIR"
}

# e2e_zavero_start CONSOLE ARGS...: starts zavero.exe with ARGS in the new console CONSOLE
# (200 x 160, working folder E2E_BIN) and sets E2E_PID to its Linux process.
e2e_zavero_start() {
  local console=$1; shift
  wl_console_start "$console" "$E2E_BIN" wine "$E2E_EXE" "$@" || wl_die "console $console did not start"
  E2E_PID=$(wl_console_pid "$console")
  [ -n "$E2E_PID" ] || wl_die "no process in console $console"
}

# e2e_save_screen CONSOLE LABEL: keeps the console's screen (plain and with colours) as
# E2E_DIR/LABEL.screen and LABEL.ansi, for the reader of a failed run.
e2e_save_screen() {
  wl_screen "$1" >"$E2E_DIR/$2.screen" 2>/dev/null
  wl_screen "$1" -e >"$E2E_DIR/$2.ansi" 2>/dev/null
  return 0
}

# e2e_result STATUS DESC: records one check's outcome (STATUS 0 = passed), for checks that
# compute their own result.
e2e_result() {
  if [ "$1" = 0 ]; then
    E2E_PASSED=$((E2E_PASSED + 1)); echo "ok - $2"
  else
    E2E_FAILED=$((E2E_FAILED + 1)); echo "not ok - $2"
  fi
}

_e2e_result() { e2e_result "$@"; }   # the earlier name, still used by some scenarios

# e2e_check DESC CMD...: one check; passes when CMD succeeds.
e2e_check() { local d=$1; shift; "$@"; e2e_result $? "$d"; }

# e2e_check_eq DESC EXPECTED ACTUAL: passes when both texts are equal; shows both otherwise.
e2e_check_eq() {
  if [ "$2" = "$3" ]; then e2e_result 0 "$1"; return 0; fi
  e2e_result 1 "$1"
  printf '#   expected: [%s]\n#   actual:   [%s]\n' "$2" "$3"
  return 1
}

# e2e_require DESC CMD...: like e2e_check, but ends the scenario when it fails, for checks
# that every later one depends on.
e2e_require() {
  local d=$1; shift
  "$@"; local rc=$?
  e2e_result "$rc" "$d"
  [ "$rc" = 0 ] || { echo "# stopping: later checks depend on this one"; e2e_end; }
}

# e2e_wait_file FILE REGEX SECONDS: waits until some line of FILE (a log, say) matches the
# extended REGEX; the program writes "finished!" as its last log line.
e2e_wait_file() { wl_wait_until "$3" grep -Eq -- "$2" "$1"; }

# e2e_end: prints the scenario's count and exits: 0 only when every check passed.
e2e_end() {
  echo "$E2E_NAME: $E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" = 0 ] && [ "$E2E_PASSED" -gt 0 ]
  exit $?
}
