#!/usr/bin/env bash
# Unusual names, in one clearing run whose start folder is "-h" (given as it stands, relative
# to the working folder: a parameter that looks like a switch is a folder like any other):
#   - names that look like switches: "-", "--x" (a hidden folder), "-s.txt": treated;
#   - blanks: " lead.txt", "in side.txt", "two  blanks.txt", "naïve dir": treated;
#     "trail.txt " cannot be reached (Windows and Wine drop a blank at the end of a path):
#     "...not changed!";
#   - names beyond ASCII (UTF-8 on Linux, shown to the program in code page 1252):
#     "café.txt", "naïve dir", "½.txt" have exact ANSI spellings and are cleared, the log
#     holding their 1252 bytes; "日本.txt" and the folder "日本" become "??.txt" and "??":
#     "...not changed!", and the folder is not walked (its hidden file stays);
#   - "Ωmega.txt" beside a hidden+system "Omega.txt": the ANSI find functions would spell the
#     first with the best fit "O" and so clear the hidden bit of the second, which the skip
#     mask protects; the program asks for no best fit, so "?mega.txt" is "...not changed!"
#     and "Omega.txt" keeps both bits (and its skip line).
# The screen shows the same bytes in the console's code page. One start of the program.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
export LC_ALL=C.UTF-8    # Linux names are UTF-8 to Wine
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_names
began=$SECONDS
umask 022

tree=$E2E_BIN/-h
mkdir -p "$tree/--x" "$tree/naïve dir" "$tree/sub/日本"
files=(" lead.txt" "--x/-s.txt" "naïve dir/café.txt" "naïve dir/two  blanks.txt"
  "sub/-" "sub/in side.txt" "sub/trail.txt " "sub/½.txt" "sub/Ωmega.txt" "sub/日本.txt"
  "sub/日本/x.txt" "sub/Omega.txt")
for f in "${files[@]}"; do : >"$tree/$f"; done
fc_attrs "$tree" 0x2 "${files[@]}" "--x" "naïve dir" "sub/日本"
fc_attrs "$tree" 0x6 "sub/Omega.txt"
before=$(sc_state "$tree")
log=$E2E_DIR/names.log

# Walk order (Wine lists by name, ignoring case): the start folder's own entries, then --x,
# naïve dir, sub and sub\日本 (whose listing fails).
e9=$'\xe9' ef=$'\xef' bd=$'\xbd'
ok="     ...sucsess!" no="     ...not changed!"
treated=(
  "-h\\ lead.txt" "$ok"  "-h\\--x" "$ok"  "-h\\na${ef}ve dir" "$ok"
  "-h\\--x\\-s.txt" "$ok"
  "-h\\na${ef}ve dir\\caf${e9}.txt" "$ok"  "-h\\na${ef}ve dir\\two  blanks.txt" "$ok"
  "-h\\sub\\-" "$ok"  "-h\\sub\\in side.txt" "$ok"  "-h\\sub\\trail.txt " "$no"
  "-h\\sub\\${bd}.txt" "$ok"  "-h\\sub\\?mega.txt" "$no"  "-h\\sub\\??" "$no"
  "-h\\sub\\??.txt" "$no"
)
{
  sc_crlf "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4' \
    'searching files: *' 'search in folder: -h' ' skipped (attributes $4): -h\sub\Omega.txt' \
    " clearing..."
  for ((i = 0; i < ${#treated[@]}; i += 2)); do sc_crlf "   ${treated[i]}" "${treated[i+1]}"; done
  sc_crlf "finished!"
} >"$E2E_DIR/names.expected"

e2e_zavero_start names CLEAR "$(wl_winpath "$log")" -h
pid=$E2E_PID
sc_run_to_end names "$log" 180
sc_check_file "the log: 1252 bytes for names it can spell, \"?\" for the others, \"not changed!\" where no path reaches" \
  "$log" "$E2E_DIR/names.expected"

# The screen: the console draws every byte in its own output code page, OEM 437, as the
# Windows console does for a program that writes ANSI text: "café" shows as "cafΘ".
rows=()
for ((i = 0; i < ${#treated[@]}; i += 2)); do
  rows+=("$(printf '%s' "${treated[i]}" | iconv -f CP437 -t UTF-8)")
done
sc_check_frame names 0 "$(wl_winpath "$log")" $((${#treated[@]} / 2)) " clearing..."
sc_check_rows names "${rows[@]}"

cleared=(" lead.txt" "--x" "--x/-s.txt" "naïve dir" "naïve dir/café.txt"
  "naïve dir/two  blanks.txt" "sub/-" "sub/in side.txt" "sub/½.txt")
e2e_check_eq "on disk exactly the entries with names the program can reach lost the hidden bit" \
  "$(sc_state_cleared "$before" "${cleared[@]}")" "$(sc_state "$tree")"
e2e_check_eq "the hidden+system \"Omega.txt\" keeps both bits" 0x6 "$(wl_attr_get "$tree/sub/Omega.txt")"

sc_stop names "$pid"
echo "# faults_names took $((SECONDS - began)) s"
e2e_end
