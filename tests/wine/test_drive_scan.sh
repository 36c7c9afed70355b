#!/usr/bin/env bash
# A clearing run without a start folder, in a prefix whose drives all point at small trees:
# only the fixed and removable drives are walked, in letter order, each root with its whole
# tree before the next; A:\ and B:\ never, nor a CD-ROM, remote, RAM-disk or rootless drive.
# Every drive that must not be walked holds a hidden file that must still be hidden after
# the run and must not appear in the log. One start of the program.
#
# What the prefix stages, and how (Wine 8):
#   - a drive letter is a symbolic link $WINEPREFIX/dosdevices/x: to a folder; Wine reads
#     them when its server starts;
#   - the drive type comes from the value "x:" of HKLM\Software\Wine\Drives ("floppy" =
#     removable, "hd" = fixed, "cdrom", "network" = remote, "ramdisk"), read when the server
#     starts; it has to be in the 64-bit registry view (a 32-bit `wine reg add` writes it
#     under Wow6432Node, where Wine never looks), so it is written into system.reg here while
#     the server is down. Without a value A: and B: are removable and the others fixed;
#   - a link to a missing folder is listed as a drive without a root folder (type 1);
#   - a second link "x::" to a device does not change the type.
#   An unknown drive type (0) cannot be staged; the fake machine's tests cover it.
#
# C: stays the prefix's Windows drive (Wine cannot start without it) and is made a CD-ROM, so
# it is not walked; Z: (the whole Linux root) is removed. The program and its log sit on
# Y:, a tiny fixed drive that is walked last.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/scan_checks.sh"
e2e_begin drive_scan
began=$SECONDS
umask 022

drives=$E2E_DIR/drives
# One hidden file on every drive that must not be walked.
for l in a b f g h; do
  printf 'f 0x2 %s_hidden.txt\n' "$l" | sc_tree_make "$drives/$l"
done
sc_tree_make "$drives/d" <<'TREE'
f 0x2   a.txt
f 0x6   b_hs.txt
d 0x2   c_dir
d -     d_sub
f 0x2   d_sub/e.txt
f -     f_plain.txt
TREE
sc_tree_make "$drives/e" <<'TREE'
f 0x2   x.txt
d -     y_sub
f 0x6   y_sub/z_hs.txt
TREE
printf 'f 0x2 y_hidden.txt\n' | sc_tree_make "$E2E_BIN"

wl_server_stop "$WINEPREFIX"
printf 'f 0x2 zz_hidden.txt\n' | sc_tree_make "$WINEPREFIX/drive_c"
for l in a b d e f g h; do wl_drive_map "$l" "$drives/$l"; done
wl_drive_map y "$E2E_BIN"
ln -sfn "$E2E_DIR/no-such-folder" "$WINEPREFIX/dosdevices/k:"
wl_drive_unmap z
{
  printf '\n[Software\\\\Wine\\\\Drives] %s\n' "$(date +%s)"
  printf '"%s"="%s"\n' a: hd c: cdrom e: floppy f: cdrom g: network h: ramdisk
} >>"$WINEPREFIX/system.reg"
wineserver -p
wl_drives | sed 's/^/# drive /'
before=$(sc_state "$drives")

e2e_zavero_start scan CLEAR scan.log
pid=$E2E_PID
log=$E2E_BIN/scan.log
sc_run_to_end scan "$log" 180

# Walk order: D:\, D:\c_dir, D:\d_sub, E:\, E:\y_sub, Y:\. The roots are walked like any
# folder, so their own hidden+system entries get skip lines.
paths=('D:\a.txt' 'D:\c_dir' 'D:\d_sub\e.txt' 'E:\x.txt' 'Y:\y_hidden.txt')
skips=('D:\b_hs.txt' 'E:\y_sub\z_hs.txt')
expected=$E2E_DIR/scan.expected
sc_expected_log "$expected" clear 2 4 '*' '' skips paths
sc_check_outputs scan clear "$log" "$expected" 'Y:\scan.log' \
  "the log: D:, E: (removable) and Y: in letter order, nothing of A:, B:, C:, F:, G:, H:, K:" \
  "${paths[@]}"

e2e_check_eq "on disk only the walked drives' hidden entries lost the bit" \
  "$(sc_state_cleared "$before" d/a.txt d/c_dir d/d_sub/e.txt e/x.txt)" "$(sc_state "$drives")"
for l in a b f g h; do
  e2e_check_eq "$l: still hidden" 0x2 "$(wl_attr_get "$drives/$l/${l}_hidden.txt")"
done
e2e_check_eq "C: (the Windows drive, CD-ROM here) not walked" 0x2 \
  "$(wl_attr_get "$WINEPREFIX/drive_c/zz_hidden.txt")"
e2e_check_eq "Y: (the program's drive) walked" 0x0 "$(wl_attr_get "$E2E_BIN/y_hidden.txt")"

sc_stop scan "$pid"
echo "# drive_scan took $((SECONDS - began)) s"
e2e_end
