# shellcheck shell=bash
# Helpers for the end-to-end scenarios of the Linux zavero on real file systems: the checks
# and the terminal (a tmux pane) come from the Wine scenarios' library; this file adds a
# scenario's own folder and the DOS bits as each file system keeps them.
#
#   . "$(dirname "$0")/lib.sh"
#   lx_begin NAME            # LX_DIR (emptied), ZAVERO (the program); all ended on exit
#   ...
#   e2e_end
#
# ctest sets ZAVERO_BIN and ZAVERO_BUILD.

# shellcheck source=tests/wine/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/../wine/lib.sh"
export LC_ALL=C.UTF-8

lx_begin() {
  E2E_NAME=$1
  WL_TAG=linux.$E2E_NAME
  wl_init
  ZAVERO=${ZAVERO_BIN:?set ZAVERO_BIN to the Linux zavero}
  LX_DIR=${ZAVERO_BUILD:?set ZAVERO_BUILD}/linux-e2e/$E2E_NAME
  rm -rf "$LX_DIR"
  mkdir -p "$LX_DIR"
  E2E_DIR=$LX_DIR
  WL_SCRATCH=$LX_DIR
  echo "# $E2E_NAME: files in $LX_DIR"
}

# lx_start CONSOLE COLS ROWS DIR ARGS...: zavero ARGS in a new COLS x ROWS terminal working
# in DIR. A shell in the pane waits for it and keeps its exit status: tmux itself at times
# misses the end of a program that exits as the terminal closes.
lx_start() {
  local console=$1; WL_TMUX_COLS=$2 WL_TMUX_ROWS=$3; local dir=$4; shift 4
  rm -f "$LX_DIR/$console.status"
  wl_console_start "$console" "$dir" bash -c "\"\$@\"; echo \$? >$(printf %q "$LX_DIR/$console.status")" \
    zavero "$ZAVERO" "$@" ||
    wl_die "console $console did not start"
}

# lx_exit_status CONSOLE SECONDS: waits for the program in CONSOLE to end; prints its status.
lx_exit_status() {
  wl_wait_until "$2" test -s "$LX_DIR/$1.status" || { echo timeout; return; }
  cat "$LX_DIR/$1.status"
}

# lx_ntfs_word PATH: the attribute word ntfs-3g reports for PATH, as 0x%08x.
lx_ntfs_word() { getfattr -h -e hex -n system.ntfs_attrib_be "$1" 2>/dev/null | sed -n "s/^system.ntfs_attrib_be=//p"; }
