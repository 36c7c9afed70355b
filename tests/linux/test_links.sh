#!/usr/bin/env bash
# Links below the start folder, on Samba's store: one to a hidden file and one to a hidden
# folder, both outside the tree. The walk reads each link's own value (links keep none),
# never its target's: only the tree's own hidden file is listed, nothing outside searched.
. "$(dirname "$0")/lib.sh"
lx_begin links
t=$LX_DIR/t out=$LX_DIR/outside
mkdir -p "$t/sub" "$out/dir"
touch "$t/sub/h.txt" "$out/secret" "$out/dir/inner"
setfattr -n user.DOSATTRIB -v '"0x2"' "$t/sub/h.txt" "$out/secret" "$out/dir" "$out/dir/inner"
ln -s "$out/secret" "$t/sub/to_file"
ln -s "$out/dir" "$t/sub/to_dir"
"$ZAVERO" LIST "" "$t" >"$LX_DIR/list.out" 2>"$LX_DIR/list.err"
status=$?
e2e_check_eq "links to hidden entries outside: neither listed, status 0" \
  "$t/sub/h.txt||0" "$(cat "$LX_DIR/list.out")|$(cat "$LX_DIR/list.err")|$status"
e2e_end
