#!/usr/bin/env bash
# Paths longer than the ANSI functions take, below the start folder, in one clearing run.
# The tree is built so that, whatever the build folder's path, the Windows paths measure:
#   <A>                      150 characters: walked, its hidden file cleared
#   <A>\<B>                  245: listed (its search path <B>\* is 247), its hidden
#                            file cleared
#   <A>\<B>\k_<...>.txt      276: a hidden file that the listing of <B> delivers but that no
#                            attribute call can reach: "...not changed!", left as it was
#   <A>\<B>\m_<...>          271: a hidden folder, selected like the file ("...not changed!")
#                            and queued, but its listing fails: the hidden file and the
#                            folder inside it are never found
#   <A>\<B>\s_<...>.txt      276: hidden + system: its skip line carries the whole path
# and the run goes on to the folder after the long branch and ends with "finished!", alive.
# Wine accepts up to 260 characters without the terminator, one more than Windows, so the
# scenario keeps clear of the exact limit. One start of the program.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_long_paths
began=$SECONDS
umask 022

tree=$E2E_DIR/tree
mkdir -p "$tree"
tree_win=$(wl_winpath "$tree")
e2e_require "the start folder's path (${#tree_win} characters) leaves room below it" \
  test "${#tree_win}" -le 140
# fill PREFIX LENGTH: PREFIX, then letters up to LENGTH characters.
fill() { local s=$1; while [ "${#s}" -lt "$2" ]; do s+=x; done; printf '%s\n' "${s:0:$2}"; }
a=$(fill a_ $((150 - ${#tree_win} - 1)))
b=$(fill b_ 94)                   # 150 + 1 + 94 = 245
m=$(fill m_ 25)                   # 245 + 1 + 25 = 271
k=$(fill k_ 26).txt               # 245 + 1 + 30 = 276
s=$(fill s_ 26).txt
deep=$a/$b
sc_tree_make "$tree" <<TREE
f 0x2   h0.txt
f 0x2   $a/h1.txt
f 0x2   $deep/h2.txt
f 0x2   $deep/$k
f 0x6   $deep/$s
d 0x2   $deep/$m
f 0x2   $deep/$m/h3.txt
d 0x2   $deep/$m/inner
f 0x2   $deep/$m/inner/h4.txt
d -     z_after
f 0x2   z_after/h5.txt
TREE
w() { printf '%s\\%s' "$tree_win" "${1//\//\\}"; }
e2e_check_eq "the paths measure 150, 245, 271 and 276 characters" "150 245 271 276" \
  "$(for p in "$a" "$deep" "$deep/$m" "$deep/$k"; do printf '%s ' "$(w "$p" | wc -c)"; done | sed 's/ $//')"
log=$E2E_DIR/long.log

expected_lines=(
  "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4'
  'searching files: *' "search in folder: $tree_win"
  " skipped (attributes \$4): $(w "$deep/$s")"
  " clearing..."
  "   $(w h0.txt)" "     ...sucsess!"
  "   $(w "$a/h1.txt")" "     ...sucsess!"
  "   $(w "$deep/h2.txt")" "     ...sucsess!"
  "   $(w "$deep/$k")" "     ...not changed!"
  "   $(w "$deep/$m")" "     ...not changed!"
  "   $(w z_after/h5.txt)" "     ...sucsess!"
  "finished!"
)
sc_crlf "${expected_lines[@]}" >"$E2E_DIR/long.expected"
paths=("$(w h0.txt)" "$(w "$a/h1.txt")" "$(w "$deep/h2.txt")" "$(w "$deep/$k")" "$(w "$deep/$m")"
  "$(w z_after/h5.txt)")

e2e_zavero_start long CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
sc_run_to_end long "$log" 180
sc_check_outputs long clear "$log" "$E2E_DIR/long.expected" "$(wl_winpath "$log")" \
  "the log: entries up to the limit cleared, longer paths \"not changed!\" and not walked, whole paths in every line" \
  "${paths[@]}"

e2e_check_eq "entries within the limit lost the hidden bit" "0x0 0x0 0x0 0x0" \
  "$(fc_bits_of "$tree" h0.txt "$a/h1.txt" "$deep/h2.txt" z_after/h5.txt)"
e2e_check_eq "entries beyond the limit are as they were" "0x2 0x2 0x6 0x2 0x2 0x2" \
  "$(fc_bits_of "$tree" "$deep/$k" "$deep/$m" "$deep/$s" "$deep/$m/h3.txt" "$deep/$m/inner" "$deep/$m/inner/h4.txt")"

sc_stop long "$pid"
echo "# faults_long_paths took $((SECONDS - began)) s"
e2e_end
