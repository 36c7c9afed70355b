#!/bin/sh
# third-party-notices.sh COMPILER OUTPUT: writes OUTPUT, the copyright and license texts of
# the toolchain's libraries that COMPILER links statically into zavero.exe (the C++ and GCC
# runtime, winpthreads, the mingw-w64 CRT). The texts are the copyright files the toolchain's
# Debian packages install, found through dpkg from the very files COMPILER links, so they
# belong to exactly what went into the exe. Fails, naming what is missing, when a library or
# a copyright file cannot be found.
set -eu
compiler=$1 out=$2
fail() { echo "third-party-notices: $*" >&2; exit 1; }
command -v dpkg >/dev/null || fail "no dpkg: the texts come from the toolchain's Debian packages"

# The libraries of a -static -static-libgcc -static-libstdc++ link with posix threads.
libs='libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a crt2.o libmingw32.a libmingwex.a libmsvcrt.a'
index='' files=''
for lib in $libs; do
  path=$("$compiler" -print-file-name="$lib")
  [ "$path" != "$lib" ] || fail "$compiler has no $lib"
  # dpkg knows the path without the compiler's ../ steps.
  path=$(realpath -s "$path")
  owner=$(dpkg -S "$path" 2>/dev/null) || fail "no Debian package holds $path"
  pkg=${owner%%: *}
  version=$(dpkg-query -W -f '${Version}' "$pkg")
  copyright=/usr/share/doc/${pkg%%:*}/copyright
  [ -f "$copyright" ] || fail "$pkg installs no $copyright"
  index="$index  $lib: $pkg $version, $copyright
"
  # Several packages share one copyright file (the GCC ones all point at gcc-mingw-w64-base).
  real=$(realpath "$copyright")
  case " $files " in *" $real "*) ;; *) files="$files $real" ;; esac
done
# The GCC Runtime Library Exception amends the GPL version 3, which the GCC copyright file
# names but does not hold.
gpl=/usr/share/common-licenses/GPL-3
[ -f "$gpl" ] || fail "no $gpl"

{
  printf '%s\n' "Third-party notices for zavero.exe" "" \
    "zavero.exe (its own license: LICENSE) holds code of these libraries of its toolchain," \
    "linked statically. Their copyright and license texts follow, as the toolchain's Debian" \
    "packages install them (library: package version, file):" ""
  printf '%s' "$index"
  for f in $files; do
    printf '\n\n==== %s ====\n\n' "$f"
    cat "$f"
  done
  printf '\n\n==== %s: the GNU General Public License, version 3 ====\n\n' "$gpl"
  cat "$gpl"
} >"$out.tmp"
mv "$out.tmp" "$out"
