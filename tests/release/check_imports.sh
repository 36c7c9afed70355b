#!/usr/bin/env bash
# check_imports.sh OBJDUMP EXE: fails when EXE's import table names a DLL that Windows does not
# always take from its system folder. Every other DLL is looked for in the program's own
# folder first, so one dropped beside zavero.exe would run inside it before main. Allowed:
# the known DLLs of every Windows from 7 to 11 (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs; those of only some versions are left out) and ntdll, which every
# process has from the start. comctl32 is loaded at run time, when the question box needs it.
# A delayed import would be loaded later by the same search, so there must be none.
# LIST (packaging/windows/vista-imports.txt) names the functions of the oldest Windows the exe
# runs on that it may import from kernel32, user32, shell32, ole32 and advapi32; any other
# import of those DLLs would keep it from starting there.
set -u
objdump=$1 exe=$2 list=$3
allowed=" advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz
  nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32
  ntdll "

dump=$("$objdump" -p "$exe") || { echo "cannot read $exe with $objdump"; exit 1; }
mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
[ "${#dlls[@]}" -gt 0 ] || { echo "no import table found in $exe"; exit 1; }
status=0
for dll in "${dlls[@]}"; do
  if [[ $allowed == *" ${dll%.dll}"[[:space:]]* ]]; then
    echo "ok      $dll"
  else
    echo "NOT OK  $dll: not a known DLL, would be looked for beside the exe first"
    status=1
  fi
done
if grep -Eq '^Entry d [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Delay Import Directory' <<<"$dump"; then
  echo "NOT OK  the exe has delayed imports"
  status=1
fi
while read -r missing; do
  echo "NOT OK  $missing: not among the functions of the oldest Windows the exe runs on ($list)"
  status=1
done < <(comm -23 <(awk '/DLL Name:/ { d = tolower($3); sub(/\.dll$/, "", d); next }
    d ~ /^(kernel32|user32|shell32|ole32|advapi32)$/ && /^\t[0-9a-f]+\t +[0-9]+  / { print d, $NF }' \
    <<<"$dump" | LC_ALL=C sort -u) <(awk '!/^#/ { for (i = 2; i <= NF; i++) print $1, $i }' "$list" |
    LC_ALL=C sort -u))
exit $status
