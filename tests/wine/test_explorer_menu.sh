#!/usr/bin/env bash
# Explorer's menu entries: the release's install-menu.cmd, started by Wine's cmd in a folder
# with a blank in its name, writes its four keys; each command, run as Explorer runs it, on a
# drive root (E:\, whose %1 puts a backslash before the closing quote) and on a folder with a
# blank, gets its path exactly and logs to the user's %TEMP%; uninstall-menu.cmd removes the
# keys. Wine's shell has no verb for drives, so cmd.exe stands in for Explorer: it runs the
# registered line with %1 filled in and expands %TEMP% from the same user environment.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin explorer_menu
app="$E2E_DIR/un packed" folder="$E2E_DIR/my folder"
mkdir -p "$app"
cp "$ZAVERO_EXE" "$ZAVERO_BUILD/install-menu.cmd" "$ZAVERO_BUILD/uninstall-menu.cmd" "$app/"
printf 'f 0x2 a_hidden.txt\nf 0x6 b_hidsys.txt\n' | sc_tree_make "$E2E_DIR/stick"
printf 'f 0x2 c_hidden.txt\n' | sc_tree_make "$folder"
wl_drive_map e "$E2E_DIR/stick"
wl_server_restart
temp=$(wl_unixpath "$(wine cmd /c echo %TEMP% | tr -d '\r')")

# menu: "KEY = TYPE DATA" for every value under the two classes' shell keys.
menu() {
  local c
  for c in Drive Directory; do
    wine reg query "HKCU\\Software\\Classes\\$c\\shell" /s 2>/dev/null | tr -d '\r' |
      awk '/^HKEY/ { k = $0 } sub(/^ +\(Default\) +/, "") { print k " = " $0 }'
  done
}
# script NAME WORD: runs NAME.cmd from its folder; "STATUS COUNT" of lines starting with WORD.
script() { (cd "$app" && wine cmd /c "$1.cmd" </dev/null >"$E2E_DIR/$1.out"); echo "$? $(grep -c "^$2 " "$E2E_DIR/$1.out")"; }
# explorer_run CLASS VERB PATH: the entry's command, %1 = PATH, in a new console named VERB.
explorer_run() {
  local line one=%1
  line=$(menu | sed -n "s/^.*\\\\$1\\\\shell\\\\$2\\\\command = REG_EXPAND_SZ *//p")
  printf '@%s\r\n' "${line//"$one"/"$3"}" >"$E2E_DIR/$2.cmd"
  wl_console_start "$2" "$E2E_DIR" wine cmd /c "$2.cmd"
}

e2e_check_eq "install-menu.cmd: status 0, four keys added" "0 4" "$(script install-menu added)"
expected=''
for c in Drive Directory; do
  key="HKEY_CURRENT_USER\\Software\\Classes\\$c\\shell"
  expected+="$key\\ZaveroClear = REG_SZ    Make hidden files visible"$'\n'
  expected+="$key\\ZaveroClear\\command = REG_EXPAND_SZ    \"$(wl_winpath "$app")\\zavero.exe\" CLEAR \"%TEMP%\\zavero-clear.log\" \"%1\""$'\n'
  expected+="$key\\ZaveroList = REG_SZ    List hidden files"$'\n'
  expected+="$key\\ZaveroList\\command = REG_EXPAND_SZ    \"$(wl_winpath "$app")\\zavero.exe\" LIST \"%TEMP%\\zavero-list.log\" \"%1\""$'\n'
done
e2e_check_eq "the keys and their values" "${expected%$'\n'}" "$(menu)"

explorer_run Drive ZaveroClear 'E:\'
explorer_run Directory ZaveroList "$(wl_winpath "$folder")"
for log in "$temp/zavero-clear.log" "$temp/zavero-list.log"; do
  e2e_require "$log: finished!" e2e_wait_file "$log" '^finished!' 120 2>/dev/null
done
none=() cleared=('E:\a_hidden.txt') listed=("$(wl_winpath "$folder")\\c_hidden.txt")
sc_expected_log "$E2E_DIR/clear.expected" clear 2 4 '*' 'E:\' none cleared
sc_expected_log "$E2E_DIR/list.expected" list 2 4 '*' "$(wl_winpath "$folder")" none listed
sc_check_file "drive root: the log names E:\\ as given" "$temp/zavero-clear.log" "$E2E_DIR/clear.expected"
sc_check_file "folder with a blank: the log" "$temp/zavero-list.log" "$E2E_DIR/list.expected"
e2e_check_eq "on disk: E:'s hidden file cleared, hidden+system and the listed one kept" "0x0 0x6 0x2" \
  "$(wl_attr_get "$E2E_DIR/stick/a_hidden.txt") $(wl_attr_get "$E2E_DIR/stick/b_hidsys.txt") $(wl_attr_get "$folder/c_hidden.txt")"

e2e_check_eq "uninstall-menu.cmd: status 0, four keys removed" "0 4" "$(script uninstall-menu removed)"
e2e_check_eq "no key left" "" "$(menu)"
e2e_end
