#!/usr/bin/env bash
# A tree that changes under the walk, and what cannot be read, on Samba's store (user.DOSATTRIB):
#   1. zz is swapped for a link to a folder outside the tree while the walk is inside aa (caught
#      by inotify as the walk opens aa, zavero stopped for the swap): the outside entry keeps
#      its bit; the run says it could not read zz and ends with status 3; h1 and h2, made anew
#      then as a hidden file and a FIFO with their inode numbers, end "...not changed!";
#   2. as a user who may not read a folder and a file's attributes: a line for each, status 3;
#   3. /dev/full as the log: a line on standard error, status 3;
#   4. a start folder that keeps no values whose tmpfs mount two levels down holds some: no
#      line about a file system without DOS attributes, and the entry there is found;
#   5. a folder whose reading fails with EIO after three names (a small FUSE file system), the
#      third a folder gone before the look at it: both files listed, a line each, status 3.
. "$(dirname "$0")/lib.sh"
lx_begin swaps
hide() { setfattr -n user.DOSATTRIB -v '"0x2"' "$@"; }
dos() { getfattr --only-values -n user.DOSATTRIB "$1" 2>/dev/null; }

# --- 1: aa's 300 subfolders keep the walk in aa for 1.5 s (5 ms each) after it opens aa. The
# tree has an ext4 of its own, where nothing else takes the numbers freed while the run stops.
own=$LX_DIR/own t=$LX_DIR/own/tree out=$LX_DIR/outside
mkdir "$own" && truncate -s 16M "$own.img" && mkfs.ext4 -q "$own.img" && mount -o loop "$own.img" "$own"
wl_on_exit umount "$own"
mkdir -p "$t/aa" "$t/zz" "$out"
(cd "$t/aa" && mkdir s{100..399})
touch "$t/zz/secret" "$out/secret" "$t/h1" "$t/h2"
hide "$t/aa" "$t/zz/secret" "$out/secret" "$t/h1" "$t/h2"
inotifywait -e open "$t/aa" >/dev/null 2>"$LX_DIR/inotify.err" &
watch=$!
wl_wait_until 10 grep -q "Watches established" "$LX_DIR/inotify.err"
"$ZAVERO" CLEAR "" "$t" >"$LX_DIR/swap.out" 2>"$LX_DIR/swap.err" &
pid=$!
wait "$watch"
kill -STOP "$pid"
mv "$t/zz" "$own/zz.listed"
ln -s "$out" "$t/zz"
numbers=$(stat -c %i "$t/h1" "$t/h2")
rm "$t/h1" "$t/h2" && touch "$t/h1" && hide "$t/h1" && mkfifo "$t/h2"
e2e_check_eq "h1 and h2 made anew with their inode numbers" "$numbers" "$(stat -c %i "$t/h1" "$t/h2")"
kill -CONT "$pid"
wait "$pid"
status=$?
e2e_check_eq "zz swapped for a link while the walk is in aa: outside untouched, one line, status 3" \
  "0x2|zavero: cannot read the folder $t/zz; nothing below it was searched|3" \
  "$(dos "$out/secret")|$(cat "$LX_DIR/swap.err")|$status"
e2e_check_eq "h1 and h2 made anew with their numbers: not changed, the new h1 still hidden" \
  "$t/h1	...not changed!|$t/h2	...not changed!|0x2" \
  "$(grep -F "$t/h" "$LX_DIR/swap.out" | paste -sd'|')|$(dos "$t/h1")"

# --- 2
u=$(mktemp -d /tmp/zavero-swaps.XXXXXX)
wl_on_exit rm -rf "$u"
chmod 755 "$u"
cp "$ZAVERO" "$u/zavero"
mkdir "$u/t" "$u/t/locked"
touch "$u/t/h.txt" "$u/t/ok.txt"
hide "$u/t/h.txt" "$u/t/ok.txt" "$u/t/locked"
chmod 000 "$u/t/h.txt" "$u/t/locked"
setpriv --reuid=nobody --regid=nogroup --clear-groups "$u/zavero" LIST "" "$u/t" \
  >"$LX_DIR/nobody.out" 2>"$LX_DIR/nobody.err"
status=$?
e2e_check_eq "unreadable to the user: a line for each attribute and folder, status 3" \
  "zavero: cannot read the attributes of $u/t/h.txt
zavero: cannot read the attributes of $u/t/locked
zavero: cannot read the folder $u/t/locked; nothing below it was searched|$u/t/ok.txt|3" \
  "$(cat "$LX_DIR/nobody.err")|$(cat "$LX_DIR/nobody.out")|$status"

# --- 3
"$ZAVERO" CLEAR /dev/full "$u/t" >/dev/null 2>"$LX_DIR/full.err"
status=$?
e2e_check_eq "/dev/full as the log: one line, status 3" \
  "zavero: cannot write the log /dev/full; the run goes on without it|3" \
  "$(cat "$LX_DIR/full.err")|$status"

# --- 4
shm=$(mktemp -d /dev/shm/zavero-e2e.XXXXXX)
wl_on_exit rm -rf "$shm"
mkdir -p "$shm/a/b"
mount -t tmpfs swaps "$shm/a/b"
wl_on_exit umount "$shm/a/b"
touch "$shm/a/b/h.txt"
hide "$shm/a/b/h.txt"
"$ZAVERO" LIST "" "$shm" >"$LX_DIR/deep.out" 2>"$LX_DIR/deep.err"
status=$?
e2e_check_eq "values on a mount two levels down: no line about DOS attributes, the entry found" \
  "|$shm/a/b/h.txt|0" "$(cat "$LX_DIR/deep.err")|$(cat "$LX_DIR/deep.out")|$status"

# --- 5
mkdir "$LX_DIR/cut"
/usr/bin/python3 - "$LX_DIR/cut" -f <<'PY' &
import errno, stat, fuse
fuse.fuse_python_api = (0, 2)
class Cut(fuse.Fuse):
    def getattr(self, path):
        st = fuse.Stat()
        st.st_mode, st.st_nlink = (stat.S_IFDIR | 0o755, 2) if path == "/" else (stat.S_IFREG | 0o644, 1)
        return st if path in ("/", "/a", "/b") else -errno.ENOENT
    def readdir(self, path, offset):  # the names (c a folder), then EIO for the rest
        return -errno.EIO if offset else [fuse.Direntry(n, offset=i + 1, type=stat.S_IFDIR * (n == "c")) for i, n in enumerate("abc")]
fs = Cut()
fs.parse()
fs.main()
PY
wl_on_exit umount -l "$LX_DIR/cut"
wl_wait_until 10 sh -c "grep -qs ' $LX_DIR/cut ' /proc/mounts"
"$ZAVERO" LIST "" "$LX_DIR/cut" "*" 1 1 0 0 >"$LX_DIR/cut.out" 2>"$LX_DIR/cut.err"
status=$?
e2e_check_eq "EIO after three names, a folder among them gone: files listed, a line each, status 3" \
  "$LX_DIR/cut/a $LX_DIR/cut/b|zavero: cannot read the attributes of $LX_DIR/cut/c
zavero: cannot read all of the folder $LX_DIR/cut
zavero: cannot read the folder $LX_DIR/cut/c; nothing below it was searched|3" \
  "$(echo $(cat "$LX_DIR/cut.out"))|$(head -n3 "$LX_DIR/cut.err")|$status"

e2e_end
