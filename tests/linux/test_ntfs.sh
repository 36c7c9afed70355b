#!/usr/bin/env bash
# An NTFS disk through ntfs-3g (FUSE): an image made with mkntfs, hidden, hidden+system,
# read-only+hidden and plain files and folders at two depths, the words set with setfattr.
# One CLEAR run with a log, its standard output a file: one line per entry with its result,
# status 0; the log; the words afterwards through ntfs-3g, and after unmounting straight
# from the image with ntfsinfo, and again after a new mount: the hidden bit gone where it was
# selected, every other bit (read-only, system, archive, the folder flag) kept.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/../wine/scan_checks.sh"
lx_begin ntfs

img=$LX_DIR/n.img mnt=$LX_DIR/mnt
mkdir -p "$mnt"
truncate -s 32M "$img"
e2e_require "an NTFS image is made" sh -c "mkntfs -F -f -q '$img' >/dev/null 2>&1"
e2e_require "ntfs-3g mounts it (FUSE)" ntfs-3g "$img" "$mnt"
wl_on_exit umount "$mnt"

# KIND WORD PATH: files get content (ntfs-3g shows an empty file with the system bit as a FIFO).
while read -r kind word path; do
  if [ "$kind" = d ]; then mkdir -p "$mnt/$path"; else echo "$path" >"$mnt/$path"; fi
  setfattr -h -n system.ntfs_attrib_be -v "$word" "$mnt/$path"
done <<'TREE'
f 0x00000022 a_hidden.txt
f 0x00000026 b_hidsys.txt
f 0x00000023 c_rohidden.txt
f 0x00000020 d_plain.txt
d 0x00000012 e_hiddir
f 0x00000022 e_hiddir/inner.txt
f 0x00000026 e_hiddir/skip.txt
d 0x00000010 f_dir
d 0x00000016 f_dir/g_hidsysdir
f 0x00000002 f_dir/h_hidden_only.txt
TREE
selected=(a_hidden.txt c_rohidden.txt e_hiddir e_hiddir/inner.txt f_dir/h_hidden_only.txt)

"$ZAVERO" CLEAR "$LX_DIR/n.log" "$mnt" >"$LX_DIR/out" 2>"$LX_DIR/err"
e2e_check_eq "status 0, the entries left alone on standard error" \
  "0|zavero: 3 entries skipped (attributes \$4); take them with parameters 4-8: '*' 1 1 0 2" \
  "$?|$(cat "$LX_DIR/err")"
e2e_check_eq "standard output: each entry and its result, tab-separated" \
  "$(printf "$mnt/%s\t...sucsess!\n" "${selected[@]}")" "$(cat "$LX_DIR/out")"
{
  printf '%s\n' "QOR_ZAVERO has been started..." 'Clear attributes: $2' 'skip attributes: $4' \
    'searching files: *' "search in folder: $mnt" " skipped (attributes \$4): $mnt/b_hidsys.txt" \
    " skipped (attributes \$4): $mnt/e_hiddir/skip.txt" \
    " skipped (attributes \$4): $mnt/f_dir/g_hidsysdir" " clearing..."
  for f in "${selected[@]}"; do printf '   %s\n     ...sucsess!\n' "$mnt/$f"; done
  echo "finished!"
} >"$LX_DIR/n.expected"
sc_check_file "the log" "$LX_DIR/n.log" "$LX_DIR/n.expected"

paths=(a_hidden.txt b_hidsys.txt c_rohidden.txt d_plain.txt e_hiddir e_hiddir/inner.txt
  e_hiddir/skip.txt f_dir f_dir/g_hidsysdir f_dir/h_hidden_only.txt)
after="0x00000020 0x00000026 0x00000021 0x00000020 0x00000010 0x00000020 0x00000026 0x00000010 0x00000016"
words() { local p out=''; for p in "${paths[@]}"; do out+="$(lx_ntfs_word "$mnt/$p") "; done; echo "${out% }"; }
# A word of 0 reads back as 0x80 (normal) through ntfs-3g.
e2e_check_eq "the words through ntfs-3g" "$after 0x00000080" "$(words)"

umount "$mnt"
info() { ntfsinfo -F "/$1" "$img" 2>/dev/null | sed -n 's/^[[:space:]]*File attributes:.*(\(0x[0-9a-f]*\))$/\1/p' | head -n1; }
e2e_check_eq "the words in the image (ntfsinfo), folders without their flag" \
  "0x00000020 0x00000026 0x00000021 0x00000020 0x00000000 0x00000020 0x00000026 0x00000000 0x00000006 0x00000000" \
  "$(for p in "${paths[@]}"; do printf '%s ' "$(info "$p")"; done | sed 's/ $//')"
ntfs-3g "$img" "$mnt"
e2e_check_eq "the words after a new mount" "$after 0x00000080" "$(words)"

e2e_end
