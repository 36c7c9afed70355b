# shellcheck shell=bash
# What the program handed to Windows, read back from Wine's relay trace: the exact text,
# title and style of a message box and its answer, or the command line and working folder of
# a started process. A screen or a window title shows only part of that, and a launch that
# never happened leaves no window to look for.
#
#   . "$(dirname "$0")/trace.sh"       # after lib.sh and e2e_begin
#   e2e_trace_only user32.MessageBoxA kernel32.CreateProcessA
#   e2e_zavero_start_traced run1 "$E2E_DIR/run1.trace" CLEAR 'D:\logs\scan.log' 'D:\Data'
#   e2e_trace_args "$E2E_DIR/run1.trace" MessageBoxA     # one argument a line, texts unquoted
#   e2e_trace_ret  "$E2E_DIR/run1.trace" MessageBoxA     # 00000006
#
# Wine writes the trace to the standard error stream of every process that inherits it (the
# program, the programs it starts, Wine's own desktop process), so it goes to a file and not
# into the console being checked.

# e2e_trace_only DLL.FUNC...: restricts the relay trace of the scenario's prefix to these
# functions (the registry value RelayInclude); window procedures are traced regardless.
e2e_trace_only() {
  local IFS=';'
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$*" /f >/dev/null 2>&1
}

# e2e_zavero_start_traced CONSOLE TRACE ARGS...: e2e_zavero_start with the relay trace of the
# run (and of whatever it starts) written to the file TRACE; sets E2E_PID.
e2e_zavero_start_traced() {
  local console=$1 trace=$2 saved=$WINEDEBUG; shift 2
  : >"$trace"
  WINEDEBUG=-all,+relay
  # exec keeps one process from bash to the program, so the pane's PID is still the program's.
  # shellcheck disable=SC2016  # expanded by that inner bash
  wl_console_start "$console" "$E2E_BIN" bash -c 'exec 2>>"$0"; exec "$@"' "$trace" \
    wine "$E2E_EXE" "$@"
  local rc=$?
  WINEDEBUG=$saved
  [ "$rc" = 0 ] || wl_die "console $console did not start"
  E2E_PID=$(wl_console_pid "$console")
  [ -n "$E2E_PID" ] || wl_die "no process in console $console"
}

# e2e_trace_count TRACE FUNC: how many calls of FUNC (any DLL) the trace holds.
e2e_trace_count() { grep -cE ":Call [A-Za-z0-9_]+\.$2\(" "$1" 2>/dev/null; }

# e2e_trace_returned TRACE FUNC: true once a call of FUNC has returned.
e2e_trace_returned() { grep -qE ":Ret  [A-Za-z0-9_]+\.$2\(\) retval=" "$1" 2>/dev/null; }

# e2e_trace_ret TRACE FUNC: the value (8 hex digits) the first call of FUNC returned.
e2e_trace_ret() {
  grep -m1 -oE ":Ret  [A-Za-z0-9_]+\.$2\(\) retval=[0-9a-fA-F]+" "$1" 2>/dev/null | sed 's/.*retval=//'
}

# e2e_trace_args TRACE FUNC: the arguments of the first call of FUNC, one a line: a text
# argument as the text itself (Wine's escapes undone), any other as its hex value.
e2e_trace_args() {
  grep -m1 -E ":Call [A-Za-z0-9_]+\.$2\(" "$1" 2>/dev/null | awk '
    function hex(s,   v, k) {
      v = 0
      for (k = 1; k <= length(s); k++) v = v * 16 + index("0123456789abcdef", tolower(substr(s, k, 1))) - 1
      return v
    }
    {
      line = $0
      sub(/^[^(]*\(/, "", line)          # up to the opening parenthesis
      sub(/\) ret=[0-9a-fA-F]+$/, "", line)
      arg = ""; text = ""; quoted = 0; intext = 0
      for (i = 1; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (intext) {
          if (c == "\\") {
            i++; c = substr(line, i, 1)
            if (c == "n") c = "\n"; else if (c == "r") c = "\r"; else if (c == "t") c = "\t"
            else if (c == "x") { c = sprintf("%c", hex(substr(line, i + 1, 2))); i += 2 }
            text = text c
          } else if (c == "\"") intext = 0
          else text = text c
        } else if (c == "\"") { intext = 1; quoted = 1 }
        else if (c == ",") { print (quoted ? text : arg); arg = ""; text = ""; quoted = 0 }
        else arg = arg c
      }
      if (quoted || arg != "") print (quoted ? text : arg)
    }'
}

# e2e_trace_arg TRACE FUNC N: argument N (1 = the first) of the first call of FUNC.
e2e_trace_arg() { e2e_trace_args "$1" "$2" | sed -n "$3p"; }
