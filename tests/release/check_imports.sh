#!/usr/bin/env bash
# check_imports.sh OBJDUMP EXE: fails when EXE's import table names a DLL that Windows does not
# always take from its system folder. Every other DLL is looked for in the program's own
# folder first, so one dropped beside zavero.exe would run inside it before main. Allowed:
# the known DLLs of every Windows from 7 to 11 (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs; those of only some versions are left out) and ntdll, which every
# process has from the start. comctl32 is loaded at run time, when the question box needs it.
# A delayed import would be loaded later by the same search, so there must be none.
set -u
objdump=$1 exe=$2
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
exit $status
