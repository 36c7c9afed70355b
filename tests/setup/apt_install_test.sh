#!/usr/bin/env bash
# apt_install_test.sh APT_INSTALL WORKDIR: tools/apt-install against a local mirror caught
# mid-sync, in a private apt state (APT_CONFIG: own sources, lists, cache, a fake dpkg status
# with libz:amd64 1.0 installed), with simulated installs only. The lists were last read
# with amd64 alone; now i386 is added while the security suite's Release already names a
# newer i386 index than the one on disk. Its update fails and apt keeps that suite's old,
# amd64-only lists: plain apt-get then mixes libz 1.1 (amd64, wanted by tool 1.1) with
# libz 1.0 (i386) and gives up, while apt-install holds the suite back and takes 1.0 for both.
set -eu
apt_install=$1 w=$2
rm -rf "$w"; mkdir -p "$w/etc" "$w/lists/partial" "$w/cache/archives/partial"
stanza() { printf 'Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: same\nFilename: %s.deb\nSize: 1\n%s\n' "$1" "$2" "$3" "$1" "${4:+Depends: $4$'\n'}"; }
index() { mkdir -p "$w/dists/$1/main/binary-$2"; cat >"$w/dists/$1/main/binary-$2/Packages"; }
release() {
  printf 'Codename: %s\nComponents: main\nArchitectures: amd64 i386\nDate: Thu, 01 Jan 2026 00:00:00 UTC\nSHA256:\n' "$1"
  for a in amd64 i386; do echo " $(sha256sum <"$w/dists/$1/main/binary-$a/Packages" | cut -c1-64) $(stat -c %s "$w/dists/$1/main/binary-$a/Packages") main/binary-$a/Packages"; done
}
{ stanza libz 1.0 amd64; stanza tool 1.0 amd64 'libz (>= 1.0)'; } | index bookworm amd64
{ stanza libz 1.0 i386; stanza app 1.0 i386 libz; } | index bookworm i386
{ stanza libz 1.1 amd64; stanza tool 1.1 amd64 'libz (>= 1.1)'; } | index bookworm-security amd64
stanza libz 1.1 i386 | index bookworm-security i386
for s in bookworm bookworm-security; do release $s >"$w/dists/$s/Release"; done
: >"$w/dists/bookworm-security/main/binary-i386/Packages"      # the mirror's old index
printf 'Package: libz\nStatus: install ok installed\nVersion: 1.0\nArchitecture: amd64\nMulti-Arch: same\n' >"$w/status"
printf 'deb [trusted=yes] file:%s %s main\n' "$w" bookworm "$w" bookworm-security >"$w/sources.list"
conf() {
  cat >"$w/apt.conf" <<END
Dir::Etc::main "$w/etc/none"; Dir::Etc::Parts "$w/etc"; Dir::Etc::SourceList "$w/sources.list";
Dir::Etc::SourceParts "$w/etc"; Dir::Etc::Preferences "$w/etc/none"; Dir::Etc::PreferencesParts "$w/etc";
Dir::State "$w"; Dir::State::Lists "$w/lists"; Dir::State::status "$w/status"; Dir::Cache "$w/cache"; Dir::Log "$w";
APT::Architecture "amd64"; APT::Architectures { $1 }; APT::Sandbox::User "root";
END
}
export APT_CONFIG=$w/apt.conf APT_UPDATE_TRIES=1 APT_UPDATE_PAUSE=0
conf '"amd64";'
apt-get update -qq
conf '"amd64"; "i386";'
fail=0
check() { if [ "$2" = "$3" ]; then echo "ok - $1"; else printf 'not ok - %s\n#   expected: [%s]\n#   actual:   [%s]\n' "$@"; fail=1; fi; }

update=$(apt-get update -qq 2>&1) || true
check "plain update: the i386 index of bookworm-security fails" 1 \
  "$(grep -c 'Failed to fetch file:.*/bookworm-security/main/binary-i386/Packages' <<<"$update")"
plain=$(apt-get install -s -y tool app:i386 2>&1) && rc=0 || rc=$?
check "plain install: refused, held broken packages" "100 1" "$rc $(grep -c 'held broken packages' <<<"$plain")"
out=$("$apt_install" -s tool app:i386 2>"$w/err") && rc=0 || rc=$?
check "apt-install: status 0, its one line" "0 apt-install: mirror mid-sync, no index for bookworm-security (i386) after 1 tries; installing with those suites held below the installed versions" "$rc $(cat "$w/err")"
check "apt-install: tool, app and libz:i386 at 1.0" "app:i386 1.0 libz:i386 1.0 tool 1.0" \
  "$(sed -nE 's/^Inst ([^ ]+) \(([^ ]+) .*/\1 \2/p' <<<"$out" | sort | paste -sd' ')"
exit "$fail"
