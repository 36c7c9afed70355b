#!/usr/bin/env bash
# install-menu.cmd's keys; their commands run on E:\ (a backslash before %1's closing quote) and a folder with a blank
# by cmd.exe as Explorer would (%1 filled in, %TEMP% expanded; Wine's shell has no drive verbs); uninstall-menu.cmd.
. "$(dirname "$0")/lib.sh"; . "$(dirname "$0")/scan_checks.sh"
e2e_begin explorer_menu
app="$E2E_DIR/un packed" dir="$E2E_DIR/my folder" e='E:\'
mkdir -p "$app" && cp "$ZAVERO_EXE" "$ZAVERO_BUILD"/*install-menu.cmd "$app"
printf 'f 0x2 a.txt\nf 0x6 b.txt\n' | sc_tree_make "$E2E_DIR/e"; printf 'f 0x2 c.txt\n' | sc_tree_make "$dir"
wl_drive_map e "$E2E_DIR/e"; wl_server_restart; win=$(wl_winpath "$dir") temp=$(wl_unixpath "$(wine cmd /c echo %TEMP% | tr -d '\r')")
entry() { printf '"%s\\zavero.exe" %s "%%TEMP%%\\zavero-%s.log" "%s"' "$(wl_winpath "$app")" "${1^^}" "$1" "${2:-%1}"; }  # MODE [PATH]
menu() { for c in Drive Directory; do wine reg query "HKCU\\Software\\Classes\\$c\\shell" /s 2>/dev/null; done | tr -d '\r' |
  awk '/^HKEY/ { sub(/^.*Classes\\/, ""); k = $0 } sub(/^ +\(Default\) +/, "") { print k ": " $0 }'; }
(cd "$app" && wine cmd /c install-menu.cmd >/dev/null)
e2e_check_eq "install-menu.cmd: its keys and values" "$(for c in Drive Directory; do printf "$c\\\\shell\\\\Zavero%s\n" \
  "Clear: REG_SZ    Make hidden files visible" "Clear\\command: REG_EXPAND_SZ    $(entry clear)" "List: REG_SZ    List hidden files" "List\\command: REG_EXPAND_SZ    $(entry list)"; done)" "$(menu)"
printf '@%s\r\n' "$(entry clear "$e")" >"$E2E_DIR/clear.cmd"; printf '@%s\r\n' "$(entry list "$win")" >"$E2E_DIR/list.cmd"
for m in clear list; do wl_console_start $m "$E2E_DIR" wine cmd /c $m.cmd && e2e_require "$m: finished!" e2e_wait_file "$temp/zavero-$m.log" '^finished!' 120 2>/dev/null; done
none=() hs=('E:\b.txt') cleared=('E:\a.txt') listed=("$win\\c.txt")
sc_expected_log "$E2E_DIR/clear.expected" clear 2 4 '*' "$e" hs cleared; sc_expected_log "$E2E_DIR/list.expected" list 2 4 '*' "$win" none listed
for m in clear list; do sc_check_file "$m: the log (its start folder as given)" "$temp/zavero-$m.log" "$E2E_DIR/$m.expected"; done
e2e_check_eq "E:'s hidden file cleared; hidden+system and the listed one kept" "0x0 0x6 0x2" \
  "$(wl_attr_get "$E2E_DIR/e/a.txt") $(wl_attr_get "$E2E_DIR/e/b.txt") $(wl_attr_get "$dir/c.txt")"
(cd "$app" && wine cmd /c uninstall-menu.cmd >/dev/null); e2e_check_eq "uninstall-menu.cmd: no key left" "" "$(menu)"
e2e_end
