#!/usr/bin/env bash
# Paths far longer than the plain Windows functions take, below the start folder, in one
# clearing run. The tree is built so that, whatever the build folder's path, the Windows
# paths measure:
#   <A>                        150 characters: walked, its hidden file cleared
#   <A>\<B>                    245: its search path <B>\* is 247
#   <A>\<B>\k_<...>.txt        276: a hidden file
#   <A>\<B>\m_<...>            271: a hidden folder, walked
#   <A>\<B>\s_<...>.txt        276: hidden + system: its skip line carries the whole path
#   <M>\<N>                    300: a hidden folder with a hidden file
#   <N>\c1\c2\c3\<C4>          1000: a hidden folder with a hidden file, four plain folders
#                              below <N>
# Every hidden entry is reached, cleared and logged by its whole path with "...sucsess!", and
# the run goes on to the folder after the long branch and ends with "finished!". One start.
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
n=$(fill n_ 28)                   # 271 + 1 + 28 = 300
c=$(fill c_ 174)                  # 300 + 3 * 175 = 825
c4=$(fill d_ 174)                 # 825 + 1 + 174 = 1000
deep=$a/$b
far=$deep/$m/$n/$c/$c/$c
sc_tree_make "$tree" <<TREE
f 0x2   h0.txt
f 0x2   $a/h1.txt
f 0x2   $deep/h2.txt
f 0x2   $deep/$k
f 0x6   $deep/$s
d 0x2   $deep/$m
f 0x2   $deep/$m/h3.txt
d 0x2   $deep/$m/$n
f 0x2   $deep/$m/$n/h4.txt
d 0x2   $far/$c4
f 0x2   $far/$c4/h5.txt
d -     z_after
f 0x2   z_after/h6.txt
TREE
w() { printf '%s\\%s' "$tree_win" "${1//\//\\}"; }
e2e_check_eq "the paths measure 150, 245, 271, 276, 300 and 1000 characters" "150 245 271 276 300 1000" \
  "$(for p in "$a" "$deep" "$deep/$m" "$deep/$k" "$deep/$m/$n" "$far/$c4"; do printf '%s ' "$(w "$p" | wc -c)"; done | sed 's/ $//')"
log=$E2E_DIR/long.log

treated=(h0.txt "$a/h1.txt" "$deep/h2.txt" "$deep/$k" "$deep/$m" "$deep/$m/h3.txt" "$deep/$m/$n"
  "$deep/$m/$n/h4.txt" "$far/$c4" "$far/$c4/h5.txt" z_after/h6.txt)
paths=()
for p in "${treated[@]}"; do paths+=("$(w "$p")"); done
skipped=("$(w "$deep/$s")")
sc_expected_log "$E2E_DIR/long.expected" clear 2 4 '*' "$tree_win" skipped paths
before=$(sc_state "$tree")

e2e_zavero_start long CLEAR "$(wl_winpath "$log")" "$tree_win"
pid=$E2E_PID
sc_run_to_end long "$log" 180
sc_check_outputs long clear "$log" "$E2E_DIR/long.expected" "$(wl_winpath "$log")" \
  "the log: every entry, however deep, cleared, with its whole path in every line" \
  "${paths[@]}"
e2e_check_eq "on disk every hidden entry lost the hidden bit, and nothing else changed" \
  "$(sc_state_cleared "$before" "${treated[@]}")" "$(sc_state "$tree")"

sc_stop long "$pid"
echo "# faults_long_paths took $((SECONDS - began)) s"
e2e_end
