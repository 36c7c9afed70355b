#!/usr/bin/env bash
# Every name, in one clearing run whose start folder is "-h" (given as it stands, relative to
# the working folder: a parameter that looks like a switch is a folder like any other):
#   - names that look like switches: "-", "--x" (a hidden folder), "-s.txt";
#   - blanks: " lead.txt", "in side.txt", "two  blanks.txt", and names that END in a blank or
#     a dot, which the plain Windows path rules would cut ("trail.txt ", a folder
#     "trailing blank " with a file inside, "trailing dot.");
#   - names in several scripts: "café.txt" and "½.txt" (which code page 1252 could spell too),
#     "Ωmega.txt", a folder "Привет", a folder "日本" and "日本語の書類.txt", and an emoji
#     beyond the 16-bit range ("emoji 😀 photo.jpg");
#   - "Ωmega.txt" beside a hidden+system "Omega.txt": a best-fit spelling would have named the
#     second, which the skip mask protects; it keeps both bits (and its skip line);
#   - a name holding ESC/BEL sequences that set the title, clear the screen and turn text red
#     (Wine refuses every path that holds a control character): cleared all the same; its log
#     line and row show each control byte as \xHH and the title stays the program's.
# The program runs with UTF-8 as its code page: every hidden entry is cleared, logged by its
# real name in UTF-8 with "...sucsess!", and its row shows the same name. Wine's console
# draws a character beyond the 16-bit range as two replacement characters (Windows Terminal
# draws the emoji): that row is expected so. One start of the program.
# shellcheck disable=SC2016  # the "$" in the log's texts is literal
export LC_ALL=C.UTF-8    # Linux names are UTF-8 to Wine
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
. "$(dirname "$0")/fault_checks.sh"
e2e_begin faults_names
began=$SECONDS
umask 022

tree=$E2E_BIN/-h
emoji=$'\xf0\x9f\x98\x80'
mkdir -p "$tree/--x" "$tree/naïve dir" "$tree/sub/日本" "$tree/trailing blank " "$tree/Привет"
files=(" lead.txt" "--x/-s.txt" "naïve dir/café.txt" "naïve dir/two  blanks.txt"
  "sub/-" "sub/emoji $emoji photo.jpg" "sub/in side.txt" "sub/trail.txt " "sub/trailing dot."
  "sub/½.txt" "sub/Ωmega.txt" "sub/日本/x.txt" "sub/日本語の書類.txt" "sub/Omega.txt"
  "trailing blank /inside.txt" "Привет/документ.txt" x$'\e]0;OWNED\a\e[2J\e[31mEVIL')
for f in "${files[@]}"; do : >"$tree/$f"; done
hidden=("${files[@]:0:13}" "${files[@]:14}" "--x" "naïve dir" "sub/日本" "trailing blank " "Привет")
fc_attrs "$tree" 0x2 "${hidden[@]}"
fc_attrs "$tree" 0x6 "sub/Omega.txt"
before=$(sc_state "$tree")
log=$E2E_DIR/names.log

# Walk order (Wine lists by name, ignoring case, in code point order): the start folder's
# own entries, then --x, naïve dir, sub, sub\日本, "trailing blank " and Привет.
treated=(
  "-h\\ lead.txt" "-h\\--x" "-h\\naïve dir" "-h\\trailing blank "
  '-h\x\x1B]0;OWNED\x07\x1B[2J\x1B[31mEVIL' "-h\\Привет"
  "-h\\--x\\-s.txt"
  "-h\\naïve dir\\café.txt" "-h\\naïve dir\\two  blanks.txt"
  "-h\\sub\\-" "-h\\sub\\emoji $emoji photo.jpg" "-h\\sub\\in side.txt" "-h\\sub\\trail.txt "
  "-h\\sub\\trailing dot." "-h\\sub\\½.txt" "-h\\sub\\Ωmega.txt" "-h\\sub\\日本"
  "-h\\sub\\日本語の書類.txt"
  "-h\\sub\\日本\\x.txt"
  "-h\\trailing blank \\inside.txt"
  "-h\\Привет\\документ.txt"
)
{
  sc_crlf "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4' \
    'searching files: *' 'search in folder: -h' ' skipped (attributes $4): -h\sub\Omega.txt' \
    " clearing..."
  for p in "${treated[@]}"; do sc_crlf "   $p" "     ...sucsess!"; done
  sc_crlf "$(sc_left_alone 1 4 '*' 2)" "finished!"
} >"$E2E_DIR/names.expected"

e2e_zavero_start names CLEAR "$(wl_winpath "$log")" -h
pid=$E2E_PID
sc_run_to_end names "$log" 180
sc_check_file "the log: every name in UTF-8, as it stands on disk, and \"sucsess!\" for each" \
  "$log" "$E2E_DIR/names.expected"

rows=("${treated[@]}")
rows[10]="-h\\sub\\emoji "$'\xef\xbf\xbd\xef\xbf\xbd'" photo.jpg"
sc_check_frame names 0 "$(wl_winpath "$log")" ${#treated[@]} " clearing..."
SC_END_LINE=$(sc_left_alone 1 4 '*' 2) sc_check_rows names "${rows[@]}"

e2e_check_eq "on disk every hidden entry lost the hidden bit, and nothing else changed" \
  "$(sc_state_cleared "$before" "${hidden[@]}")" "$(sc_state "$tree")"
e2e_check_eq "the hidden+system \"Omega.txt\" keeps both bits" 0x6 "$(wl_attr_get "$tree/sub/Omega.txt")"
e2e_check_eq "the name's sequences set no title" "ZAVERO von QOR" "$(wl_console_title names)"

sc_stop names "$pid"
echo "# faults_names took $((SECONDS - began)) s"
e2e_end
