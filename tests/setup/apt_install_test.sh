#!/usr/bin/env bash
# apt_install_test.sh APT_INSTALL DIR: a mirror mid-sync (i386 added since lists were read; bookworm-security's Release names a newer
# i386 index than the one there), a private apt state, simulated installs. Plain apt-get mixes libz 1.1:amd64 with libz 1.0:i386.
set -eu
w=$2 && rm -rf "$w" && mkdir -p "$w/etc"
pkgs() { local d=$w/dists/$1/main/binary-$2 p && mkdir -p "$d" && shift 2 && for p; do set -- $p
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: same\nFilename: x\nSize: 1\n%s\n\n' "$1" "$2" "${d##*-}" "${3:+Depends: libz (>= $3)}"; done >"$d/Packages"; }
pkgs bookworm amd64 'libz 1.0' 'tool 1.0 1.0'; pkgs bookworm i386 'libz 1.0' 'app 1.0 1.0'
pkgs bookworm-security amd64 'libz 1.1' 'tool 1.1 1.1'; pkgs bookworm-security i386 'libz 1.1'
for s in bookworm bookworm-security; do (cd "$w/dists/$s" && printf 'Codename: %s\nDate: Thu, 01 Jan 2026 00:00:00 UTC\nSHA256:\n' $s &&
  find main -type f -printf '%s %p\n' | while read -r n p; do echo " $(sha256sum <"$p" | cut -c1-64) $n $p"; done) >"$w/dists/$s/Release"; done
: >"$w/dists/bookworm-security/main/binary-i386/Packages"
printf 'Package: libz\nStatus: install ok installed\nVersion: 1.0\nArchitecture: amd64\nMulti-Arch: same\n' >"$w/status"
printf 'deb [trusted=yes] file:%s %s main\n' "$w" bookworm "$w" bookworm-security >"$w/sources.list"
conf() { printf 'Dir::Etc::%s "%s";\n' main "$w/etc/none" Parts "$w/etc" SourceList "$w/sources.list" SourceParts "$w/etc" Preferences "$w/etc/none" PreferencesParts "$w/etc"
  printf 'Dir::State "%s"; Dir::State::status "%s/status"; Dir::Cache "%s/cache"; Dir::Log "%s"; APT::Sandbox::User "root"; APT::Architectures { %s };\n' "$w" "$w" "$w" "$w" "$1"; }
export APT_CONFIG=$w/apt.conf APT_UPDATE_TRIES=1 APT_UPDATE_PAUSE=0
conf '"amd64";' >"$APT_CONFIG" && apt-get update -qq && conf '"amd64"; "i386";' >"$APT_CONFIG"
check() { if [ "$2" = "$3" ]; then echo "ok - $1"; else printf 'not ok - %s\n#   expected: %s\n#   actual:   %s\n' "$@"; exit 1; fi; }
out=$("$1" -s tool app:i386 2>&1 >/dev/null) && rc=0 || rc=$?
check "apt-install: status 0 and its one line" "0 apt-install: mirror mid-sync, no index for bookworm-security (i386) after 1 tries; installing with those suites held below the installed versions" "$rc $out"
out=$(apt-get install -s tool app:i386 2>&1) && rc=0 || rc=$?      # on the lists apt-install's update left
check "plain apt-get: held broken packages" "100 1" "$rc $(grep -c 'held broken packages' <<<"$out")"
