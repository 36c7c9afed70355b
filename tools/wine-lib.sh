# shellcheck shell=bash
# Running Win32 programs under Wine from scripts: prefixes, paths, a console in tmux,
# an X display for windows, processes, DOS attributes. Source it from bash:
#
#   . tools/wine-lib.sh
#   wl_init                      # cleanup trap; every resource below is released on exit
#
# Everything a script starts here (wineservers, tmux servers, Xvfb, programs) is recorded
# and ended by its PID or its own socket when the script exits, never by name: the machine
# is shared with other builds and tests. Every wait has a time-out.

# ---------------------------------------------------------------- basics

WL_TAG=${WL_TAG:-wine-lib}
WL_POLL=${WL_POLL:-0.2}            # seconds between two looks in a polling loop
WL_CLEANUPS=()                     # commands run (last first) by wl_cleanup
WL_TRACKED_PIDS=()                 # processes this script started

wl_log() { printf '[%s] %s\n' "$WL_TAG" "$*" >&2; }
wl_die() { wl_log "error: $*"; exit 1; }

# wl_init: installs the exit trap that runs wl_cleanup; INT and TERM end the script through it.
wl_init() {
  trap wl_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  export WINEDEBUG=-all
}

# wl_on_exit CMD...: runs CMD when the script ends (after anything registered later).
wl_on_exit() { WL_CLEANUPS+=("$(printf '%q ' "$@")"); }

# wl_cleanup: ends what was started, newest first; safe to call more than once.
wl_cleanup() {
  local i
  for ((i = ${#WL_CLEANUPS[@]} - 1; i >= 0; i--)); do
    eval "${WL_CLEANUPS[$i]}" >/dev/null 2>&1 || true
  done
  WL_CLEANUPS=()
  for i in "${WL_TRACKED_PIDS[@]}"; do wl_kill "$i"; done
  WL_TRACKED_PIDS=()
}

# wl_wait_until SECONDS CMD...: polls CMD until it succeeds; 1 after SECONDS without success.
wl_wait_until() {
  local limit=$1; shift
  local end=$(( $(date +%s%N) + $(awk -v s="$limit" 'BEGIN { printf "%.0f", s * 1e9 }') ))
  while :; do
    "$@" && return 0
    (( $(date +%s%N) >= end )) && return 1
    sleep "$WL_POLL"
  done
}

# wl_build_dir [PATH]: the CMake build folder that holds PATH (searched upwards for
# CMakeCache.txt), or $ZAVERO_BUILD when set; empty when none is found.
wl_build_dir() {
  if [ -n "${ZAVERO_BUILD:-}" ]; then printf '%s\n' "$ZAVERO_BUILD"; return; fi
  local d; d=$(readlink -f "${1:-$PWD}")
  [ -d "$d" ] || d=$(dirname "$d")
  while [ "$d" != / ]; do
    [ -f "$d/CMakeCache.txt" ] && { printf '%s\n' "$d"; return; }
    d=$(dirname "$d")
  done
}

# ---------------------------------------------------------------- prefixes

# Wine's optional components would ask to be downloaded; the menu builder is useless here.
WL_DLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

# wl_prefix_use DIR: makes DIR the prefix of every later wine call of this script.
wl_prefix_use() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=$WL_DLLOVERRIDES
}

# wl_prefix_ready DIR: true when DIR is a finished prefix (made by this library).
wl_prefix_ready() { [ -f "$1/.zavero-prefix-ready" ]; }

# wl_prefix_boot DIR: creates the prefix DIR from nothing with wineboot (15-40 s), waits until
# its registry is on disk, and has Wine's windows left unmanaged by the X window manager
# (otherwise every message box takes about 2 s to close). Caller holds the lock.
wl_prefix_boot() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  (
    wl_prefix_use "$dir"
    unset DISPLAY
    wineboot -i >"$dir.boot.log" 2>&1 &&
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$dir.boot.log" 2>&1
    local rc=$?
    # Registry files are written when the prefix's server ends.
    wineserver -k >/dev/null 2>&1
    timeout 60 wineserver -w >/dev/null 2>&1
    exit $rc
  ) || { wl_log "wineboot failed for $dir (see $dir.boot.log)"; return 1; }
  touch "$dir/.zavero-prefix-ready"
}

# wl_prefix_copy TEMPLATE DIR: a new prefix DIR as a copy of TEMPLATE in a fraction of a
# second (wineboot takes 15-40 s): Wine's program and library files (1.2 GB, never written
# after wineboot) are hard-linked, everything else (registry, ini files, dosdevices links,
# folders) is copied. Caller holds the lock.
wl_prefix_copy() {
  local tpl=$1 dir=$2
  wl_prefix_ready "$tpl" || { wl_log "no template prefix at $tpl"; return 1; }
  # A server left over from an earlier run would keep the old prefix's files open.
  [ -d "$dir" ] && wl_server_stop "$dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  # Files that Wine or a test may write get copies of their own, the rest are linked.
  ( cd "$tpl" && find . -type f ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' \
      ! -iname '*.sys' ! -iname '*.ocx' ! -iname '*.cpl' ! -iname '*.acm' ! -iname '*.tlb' \
      ! -iname '*.nls' ! -iname '*.ax' ! -iname '*.ds' ! -iname '*.com' ! -iname '*.vxd' \
      ! -iname '*.tsp' ! -iname '*.mod' ! -iname '*.msstyles' ! -iname '*.ttf' ! -iname '*.fon' \
      -print0 | tar -cf - --null -T - ) | tar -C "$dir" -xpf - || return 1
  cp -aln "$tpl/." "$dir/" || return 1
  touch "$dir/.zavero-prefix-ready"
}

# wl_locked LOCKFILE SECONDS CMD...: runs CMD holding an exclusive flock on LOCKFILE, so that
# parallel test runs neither race nor build the same prefix twice.
wl_locked() {
  local lock=$1 limit=$2; shift 2
  mkdir -p "$(dirname "$lock")"
  (
    flock -w "$limit" 9 || { wl_log "could not lock $lock within ${limit}s"; exit 1; }
    "$@"
  ) 9>"$lock"
}

# wl_template_ensure [TEMPLATE]: the build's template prefix, made once with wineboot.
# Default: $WL_WINE_ROOT/template.
wl_template_ensure() {
  local tpl=${1:-${WL_WINE_ROOT:?WL_WINE_ROOT names the folder of the prefixes}/template}
  wl_prefix_ready "$tpl" && return 0
  wl_locked "$tpl.lock" 300 _wl_template_make "$tpl"
}
_wl_template_make() { wl_prefix_ready "$1" || wl_prefix_boot "$1"; }

# wl_prefix_ensure DIR [TEMPLATE]: DIR as a ready prefix, copied from the template when DIR
# is missing (the template is made first when needed); an existing DIR is kept.
wl_prefix_ensure() {
  local dir=$1 tpl=${2:-${WL_WINE_ROOT:?WL_WINE_ROOT names the folder of the prefixes}/template}
  wl_prefix_ready "$dir" && return 0
  wl_template_ensure "$tpl" || return 1
  wl_locked "$dir.lock" 300 _wl_prefix_make "$dir" "$tpl"
}
_wl_prefix_make() { wl_prefix_ready "$1" || wl_prefix_copy "$2" "$1"; }

# wl_prefix_fresh DIR [TEMPLATE]: DIR anew from the template (a test's clean slate).
wl_prefix_fresh() {
  local dir=$1 tpl=${2:-${WL_WINE_ROOT:?WL_WINE_ROOT names the folder of the prefixes}/template}
  wl_template_ensure "$tpl" || return 1
  wl_locked "$dir.lock" 300 wl_prefix_copy "$tpl" "$dir"
}

# ---------------------------------------------------------------- wineserver

# wl_server_start [SECONDS]: starts the current prefix's wineserver and keeps it for SECONDS
# after its last program (default: until wl_server_stop). Later programs then start in a
# fraction of a second instead of paying for a cold server and Wine's services each time.
# Without SECONDS the server is stopped when the script exits.
wl_server_start() {
  [ -n "${WINEPREFIX:-}" ] || wl_die "wl_server_start: no prefix (wl_prefix_use first)"
  if [ -n "${1:-}" ]; then
    wineserver -p"$1"
  else
    wineserver -p
    wl_on_exit wl_server_stop "$WINEPREFIX"
  fi
}

# wl_server_stop [PREFIX]: ends the prefix's wineserver and every program of that prefix,
# and waits (at most 30 s) until the server is gone.
wl_server_stop() {
  local prefix=${1:-$WINEPREFIX}
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix timeout 30 wineserver -w >/dev/null 2>&1
  return 0
}

# wl_server_restart: restarts the current prefix's server, e.g. so that new drive letters
# show (Wine reads dosdevices when its server starts).
wl_server_restart() { wl_server_stop "$WINEPREFIX"; wineserver -p; }

# ---------------------------------------------------------------- paths and drives

# wl_winpath PATH: the Windows path of a Linux PATH in the current prefix, as `winepath -w`
# gives it, without starting Wine: the drive whose dosdevices link holds the longest part of
# the path wins; the root drive (Z: in a fresh prefix) takes the path as written, symbolic
# links unresolved.
wl_winpath() {
  local logical physical p best='' bestlen=0 link target letter root=''
  logical=$(realpath -s -m -- "$1") physical=$(readlink -m -- "$1")
  for link in "$WINEPREFIX"/dosdevices/?:; do
    [ -L "$link" ] || continue
    target=$(readlink -f "$link") || continue
    letter=${link##*/}
    if [ "$target" = / ]; then
      [ -n "$root" ] || root=$letter
      continue
    fi
    for p in "$logical" "$physical"; do
      if [ "$p" = "$target" ] || [[ "$p" == "$target"/* ]]; then
        (( ${#target} > bestlen )) && { best="$letter${p#"$target"}"; bestlen=${#target}; }
        break
      fi
    done
  done
  [ -n "$best" ] || { [ -n "$root" ] && best="$root$logical"; }
  [ -n "$best" ] || { winepath -w "$1" 2>/dev/null; return; }
  [ "${best#?:}" = "" ] && best="$best/"
  best=${best//\//\\}
  printf '%s\n' "${best^}"
}

# wl_unixpath WINPATH: the Linux path of a drive-letter path of the current prefix.
wl_unixpath() {
  local w=$1 letter rest target
  letter=${w:0:1}; letter=${letter,}
  rest=${w:2}; rest=${rest//\\//}
  target=$(readlink -f "$WINEPREFIX/dosdevices/$letter:") || return 1
  [ "$target" = / ] && target=''
  printf '%s%s\n' "$target" "${rest:-/}"
}

# wl_drive_map LETTER DIR: drive LETTER: of the current prefix shows the Linux folder DIR
# (visible to programs after the next server start: wl_server_restart).
wl_drive_map() {
  local l=${1,}; l=${l%:}
  ln -sfn "$(readlink -f "$2")" "$WINEPREFIX/dosdevices/$l:"
}

# wl_drive_unmap LETTER: removes drive LETTER: from the current prefix.
wl_drive_unmap() { local l=${1,}; l=${l%:}; rm -f "$WINEPREFIX/dosdevices/$l:" "$WINEPREFIX/dosdevices/$l::"; }

# wl_drives: the drive letters the current prefix maps, one "x: -> target" a line.
wl_drives() {
  local link
  for link in "$WINEPREFIX"/dosdevices/?:; do
    [ -L "$link" ] && printf '%s -> %s\n' "${link##*/}" "$(readlink "$link")"
  done
}

# ---------------------------------------------------------------- DOS attributes on disk

# Wine keeps only the hidden (2) and system (4) bits, as the text "0x2", "0x4" or "0x6" in
# the extended attribute user.DOSATTRIB; read-only is the Unix write permission.

# wl_attr_set PATH BITS: stores the hidden/system BITS (0x0..0x6; 0 removes the attribute).
wl_attr_set() {
  local v=$(( $2 & 6 ))
  if (( v == 0 )); then
    setfattr -x user.DOSATTRIB "$1" 2>/dev/null || true
  else
    setfattr -n user.DOSATTRIB -v "\"$(printf '0x%x' "$v")\"" "$1"
  fi
}

# wl_attr_get PATH: the hidden/system bits Wine sees on PATH, as 0x0, 0x2, 0x4 or 0x6.
wl_attr_get() {
  local raw
  raw=$(getfattr --only-values -n user.DOSATTRIB "$1" 2>/dev/null | tr -d '\0"')
  [ -n "$raw" ] || { echo 0x0; return; }
  printf '0x%x\n' $(( raw & 6 ))
}

# wl_tree_make ROOT < LINES: builds a folder tree from lines "KIND BITS PATH": KIND d (folder)
# or f (file with one line of text), BITS the hidden/system bits such as 0x2 or 0x6, or - for
# none, with a leading r (r0x2, r-) for read-only too; PATH relative to ROOT, to the end of
# the line (blanks allowed). Attributes are set after everything exists, so that a read-only
# folder still gets its content.
wl_tree_make() {
  local root=$1 kind bits path i
  local -a later=()
  mkdir -p "$root"
  while read -r kind bits path; do
    case $kind in ''|\#*) continue ;; esac
    [ -n "$path" ] || { wl_log "wl_tree_make: no path in '$kind $bits'"; return 1; }
    case $kind in
      d) mkdir -p "$root/$path" ;;
      f) mkdir -p "$(dirname "$root/$path")"; printf '%s\n' "$path" >"$root/$path" ;;
      *) wl_log "wl_tree_make: unknown kind '$kind'"; return 1 ;;
    esac
    later+=("$bits" "$path")
  done
  # Last line first: an entry listed after its folder is done before the folder turns read-only.
  for ((i = ${#later[@]} - 2; i >= 0; i -= 2)); do
    bits=${later[i]} path=${later[i+1]}
    [ "${bits#r}" = - ] || wl_attr_set "$root/$path" "${bits#r}" || return 1
    [[ $bits == r* ]] && chmod a-w "$root/$path"
  done
  return 0
}

# ---------------------------------------------------------------- processes

# wl_track PID: ends PID when the script exits.
wl_track() { WL_TRACKED_PIDS+=("$1"); }

# wl_proc_state PID: the process state letter (R, S, Z, ...), empty when it is gone.
wl_proc_state() { local s; s=$(ps -o stat= -p "$1" 2>/dev/null) || true; printf '%s\n' "${s:0:1}"; }

# wl_proc_alive PID: true while PID exists and is not a zombie (a dead Wine process lingers
# as a zombie for about a second, so kill -0 is not enough).
wl_proc_alive() { local s; s=$(wl_proc_state "$1"); [ -n "$s" ] && [ "$s" != Z ]; }

# wl_proc_gone PID: the opposite of wl_proc_alive.
wl_proc_gone() { ! wl_proc_alive "$1"; }

# wl_wait_gone PID [SECONDS]: waits (default 15 s) until PID has ended; 1 if it has not.
wl_wait_gone() { wl_wait_until "${2:-15}" wl_proc_gone "$1"; }

# wl_kill PID: ends PID (TERM, then KILL after 5 s) if it still runs.
wl_kill() {
  wl_proc_alive "$1" || return 0
  kill -TERM "$1" 2>/dev/null
  wl_wait_gone "$1" 5 || kill -KILL "$1" 2>/dev/null
  return 0
}

# wl_cpu_ticks PID: user + system CPU time of PID so far, in clock ticks.
wl_cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null; }

# wl_cpu_percent PID SECONDS: the share of one core (in percent, whole number) that PID used
# during the next SECONDS.
wl_cpu_percent() {
  local pid=$1 secs=$2 hz t0 t1 n0 n1
  hz=$(getconf CLK_TCK)
  t0=$(wl_cpu_ticks "$pid") || return 1; n0=$(date +%s%N)
  sleep "$secs"
  t1=$(wl_cpu_ticks "$pid") || return 1; n1=$(date +%s%N)
  [ -n "$t0" ] && [ -n "$t1" ] || return 1
  echo $(( (t1 - t0) * 100 * 1000000000 / hz / (n1 - n0 > 0 ? n1 - n0 : 1) ))
}

# wl_wine_pids EXENAME: Linux PIDs of the programs named EXENAME (e.g. zavero.exe) running in
# the current prefix; other prefixes' programs of the same name are left out.
wl_wine_pids() {
  local name=$1 p cmd
  for p in $(pgrep -f -- "$name"); do
    cmd=$(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null) || continue
    [[ ${cmd,,} == *"${name,,}"* ]] || continue
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    [ "$(wl_proc_state "$p")" = Z ] && continue
    echo "$p"
  done
}

# ---------------------------------------------------------------- the console: tmux

# A console is a tmux server of its own (socket "zv-<script PID>-<NAME>"), so nothing else on
# the machine sees or disturbs it, with one WL_TMUX_COLS x WL_TMUX_ROWS pane that runs one
# command. The pane stays after the command ends (remain-on-exit), so the last screen and the
# exit status can still be read. Functions below take the console's NAME.

WL_TMUX_COLS=${WL_TMUX_COLS:-200}
WL_TMUX_ROWS=${WL_TMUX_ROWS:-160}

# wl_tmux NAME ARGS...: tmux on the console's own socket.
wl_tmux() { local n=$1; shift; tmux -L "zv-$$-$n" "$@"; }

# wl_console_start NAME DIR CMD ARGS...: runs CMD ARGS in the new console NAME, working in
# DIR, with WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY as this script has them (unset
# when unset here). CMD is exec'd, so the pane's PID is the program's PID (for wine, the
# Windows program's Linux process). The console is ended when the script exits.
wl_console_start() {
  local name=$1 dir=$2; shift 2
  local base="${WL_SCRATCH:-${TMPDIR:-/tmp}}/.zv-$$-$name"
  wl_console_stop "$name"
  mkdir -p "$(dirname "$base")"
  {
    echo 'set-option -g remain-on-exit on'
    echo 'set-option -g status off'
  } >"$base.conf"
  {
    local v
    for v in WINEPREFIX WINEDEBUG WINEDLLOVERRIDES DISPLAY; do
      if [ -n "${!v+x}" ]; then printf 'export %s=%q\n' "$v" "${!v}"; else printf 'unset %s\n' "$v"; fi
    done
    printf 'cd %q || exit 99\n' "$dir"
    printf 'exec'; printf ' %q' "$@"; printf '\n'
  } >"$base.sh"
  wl_on_exit wl_console_stop "$name"
  wl_tmux "$name" -f "$base.conf" new-session -d -s main -x "$WL_TMUX_COLS" -y "$WL_TMUX_ROWS" \
    "exec bash $(printf %q "$base.sh")"
}

# wl_console_stop NAME: ends the console's tmux server (its program gets SIGHUP).
wl_console_stop() {
  wl_tmux "$1" kill-server >/dev/null 2>&1
  rm -f "${WL_SCRATCH:-${TMPDIR:-/tmp}}/.zv-$$-$1".{sh,conf}
  return 0
}

# wl_console_kill_pane NAME: kills the console's pane, as closing a terminal window would.
wl_console_kill_pane() { wl_tmux "$1" kill-pane -t main; }

# wl_console_keys NAME KEYS...: types KEYS (tmux key names: C-c, Enter, ...) into the console.
wl_console_keys() { local n=$1; shift; wl_tmux "$n" send-keys -t main "$@"; }

# wl_console_get NAME FORMAT: a tmux format of the pane, e.g. '#{pane_title}'.
wl_console_get() { wl_tmux "$1" display-message -p -t main "$2"; }

wl_console_pid()    { wl_console_get "$1" '#{pane_pid}'; }                  # the program's PID
wl_console_title()  { wl_console_get "$1" '#{pane_title}'; }                # the console title
wl_console_cursor() { wl_console_get "$1" '#{cursor_x} #{cursor_y}'; }      # "column row"
wl_console_size()   { wl_console_get "$1" '#{pane_width}x#{pane_height}'; } # "200x160"
# wl_console_dead NAME: true once the program has ended; wl_console_status: its exit status.
wl_console_dead()   { [ "$(wl_console_get "$1" '#{pane_dead}' 2>/dev/null)" = 1 ]; }
wl_console_status() { wl_console_get "$1" '#{pane_dead_status}'; }

# wl_screen NAME [-e]: the whole screen, one line per row (-e: with colour escapes).
wl_screen() { wl_tmux "$1" capture-pane -p ${2:+"$2"} -t main -S 0 -E $((WL_TMUX_ROWS - 1)); }

# wl_row NAME ROW [-e]: one row of the screen, trailing blanks removed.
wl_row() {
  local out
  out=$(wl_tmux "$1" capture-pane -p ${3:+"$3"} -t main -S "$2" -E "$2") || return 1
  printf '%s\n' "${out%"${out##*[![:space:]]}"}"
}

# wl_screen_has NAME REGEX: true when some row matches the extended REGEX.
wl_screen_has() { wl_screen "$1" | grep -Eq -- "$2"; }

# wl_wait_screen NAME REGEX SECONDS: waits until some row matches REGEX.
wl_wait_screen() { wl_wait_until "$3" wl_screen_has "$1" "$2"; }

# wl_wait_row NAME ROW TEXT SECONDS: waits until ROW reads exactly TEXT.
wl_wait_row() { wl_wait_until "$4" _wl_row_is "$1" "$2" "$3"; }
_wl_row_is() { [ "$(wl_row "$1" "$2")" = "$3" ]; }

# wl_sgr_at NAME ROW TEXT: the SGR parameters in force where TEXT begins on ROW, as tmux
# reproduces the program's colours: the codes since the last reset, joined by ";" (console
# colour 12 shows as 91, 9 as 94, 15 as 97, 7 as a reset). Fails when TEXT is not on ROW.
wl_sgr_at() {
  local line before codes='' seq esc=$'\e'
  line=$(wl_row "$1" "$2" -e) || return 1
  [[ $line == *"$3"* ]] || return 1
  before=${line%%"$3"*}
  while [[ $before =~ $esc\[([0-9\;]*)m ]]; do
    seq=${BASH_REMATCH[1]}
    if [ -z "$seq" ] || [ "$seq" = 0 ]; then codes=''; else codes=${codes:+$codes;}$seq; fi
    before=${before#*"${BASH_REMATCH[0]}"}
  done
  printf '%s\n' "$codes"
}

# wl_sgr_has CODES CODE: true when the ";"-joined CODES contain CODE.
wl_sgr_has() { [[ ";$1;" == *";$2;"* ]]; }

# ---------------------------------------------------------------- an X display for windows

# wl_xvfb_start: starts Xvfb on a free display number and exports DISPLAY for it; the server
# is ended when the script exits. Message boxes and notepad need it; without a display
# MessageBoxA fails at once.
wl_xvfb_start() {
  local n pid
  for n in $(seq 90 189); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pid=$!
    # Another script may have taken the same number a moment ago: then this server ends at
    # once and the next number is tried.
    wl_wait_until 10 _wl_x_settled ":$n" "$pid"
    if _wl_x_up ":$n" "$pid"; then
      wl_track "$pid"
      WL_XVFB_PID=$pid
      export DISPLAY=":$n"
      return 0
    fi
    wl_kill "$pid"
  done
  wl_log "no free X display found"; return 1
}
_wl_x_up() { wl_proc_alive "$2" && xdpyinfo -display "$1" >/dev/null 2>&1; }
_wl_x_settled() { wl_proc_gone "$2" || _wl_x_up "$1" "$2"; }

# wl_xvfb_stop: ends the Xvfb that wl_xvfb_start started.
wl_xvfb_stop() { [ -n "${WL_XVFB_PID:-}" ] && wl_kill "$WL_XVFB_PID"; unset WL_XVFB_PID DISPLAY; }

# wl_window_find NAME SECONDS: waits until a visible window whose title matches NAME (a
# regular expression) is mapped, and prints its id.
wl_window_find() { wl_wait_until "$2" _wl_window_once "$1" && head -n1 <<<"$WL_FOUND"; }
_wl_window_once() { WL_FOUND=$(xdotool search --onlyvisible --name "$1" 2>/dev/null) && [ -n "$WL_FOUND" ]; }

# wl_window_gone WID SECONDS: waits until the window is no longer mapped.
wl_window_gone() { wl_wait_until "$2" _wl_window_unmapped "$1"; }
_wl_window_unmapped() { ! xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }

wl_window_name() { xdotool getwindowname "$1"; }   # WID -> title
wl_window_pid()  { xdotool getwindowpid "$1"; }    # WID -> Linux PID of its program

# wl_box_answer WID yes|no: answers a Yes/No message box (Yes has the focus; "n" is No).
wl_box_answer() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowactivate --sync "$1" 2>/dev/null
  case $2 in
    yes) xdotool key --clearmodifiers Return ;;
    no)  xdotool key --clearmodifiers n ;;
    *)   wl_log "wl_box_answer: yes or no, not '$2'"; return 1 ;;
  esac
}

# wl_window_close WID: closes a program's window with Alt+F4 (Wine ignores windowclose).
wl_window_close() { xdotool windowfocus --sync "$1" 2>/dev/null; xdotool key --clearmodifiers alt+F4; }

# wl_screenshot FILE [WID]: the whole X screen, or only the window WID, as a PNG picture.
wl_screenshot() { import -window "${2:-root}" "$1"; }
