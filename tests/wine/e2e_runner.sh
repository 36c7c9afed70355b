#!/usr/bin/env bash
# The end-to-end runner (zavero_e2e.exe RUNNER) under Wine's windowed console: a prefix and a
# virtual display of its own, consoles of Windows 10's size (9001 buffer rows behind a window
# of 30), the work folder in the build. The result is the runner's: its report and status.
. "$(dirname "$0")/lib.sh"
runner=${1:?usage: e2e_runner.sh zavero_e2e.exe [runner arguments]}; shift
e2e_begin e2e_runner
wl_xvfb_start || wl_die "no X display"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
for v in "ScreenBufferSize $((9001 << 16 | 120))" "WindowSize $((30 << 16 | 120))" "ScreenColors 7"; do
  wine reg add 'HKCU\Console' /v "${v% *}" /t REG_DWORD /d "${v#* }" /f >/dev/null 2>&1
done
# Wine's CreateSymbolicLinkW makes nothing: the links of the runner's tree "links" are made here.
links=$E2E_DIR/work/links
mkdir -p "$links"/{a/b,c} "$links"/m{0..9}
ln -s .. "$links/a/b/loop" && ln -s ../a "$links/c/side"
for i in {0..9}; do for j in {0..9}; do [ "$i" = "$j" ] || ln -s "../m$j" "$links/m$i/l$j"; done; done
wine "$runner" "$(wl_winpath "$ZAVERO_EXE")" "$(wl_winpath "$E2E_DIR/work")" "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
