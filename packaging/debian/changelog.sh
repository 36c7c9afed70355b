#!/bin/sh
# changelog.sh CHANGELOG VERSION MAINTAINER OUTPUT: writes OUTPUT, the Debian changelog of the
# package, made from the project's CHANGELOG.md: each "## VERSION - YYYY-MM-DD" heading
# starts an entry dated that day (a second release on one day gives the time too,
# "YYYY-MM-DD HH:MM" in UTC, so that each entry is newer than the one before), each "- "
# line an item ("  * "), lines indented by two blanks continue the item. Fails when the newest entry is not VERSION, so that no package
# goes out with an old changelog.
set -eu
changelog=$1 version=$2 maintainer=$3 out=$4
newest='' date=''

close_entry() {
  [ -n "$date" ] || return 0
  # RFC 5322 date, as dpkg-parsechangelog expects it.
  printf '\n -- %s  %s\n' "$maintainer" "$(LC_ALL=C date -u -R -d "$date")"
}

while IFS= read -r line; do
  case $line in
    '## '*)
      close_entry
      [ -z "$date" ] || echo
      set -f; set -- ${line#'## '}; set +f
      { [ "$#" = 3 ] || [ "$#" = 4 ]; } && [ "$2" = - ] ||
        { echo "changelog.sh: not '## VERSION - DATE [TIME]': $line" >&2; exit 1; }
      [ -n "$newest" ] || newest=$1
      date="$3 ${4:-00:00} UTC"
      printf 'zavero (%s) unstable; urgency=medium\n\n' "$1" ;;
    '- '*) [ -z "$date" ] || printf '  * %s\n' "${line#'- '}" ;;
    '  '*) [ -z "$date" ] || printf '    %s\n' "${line#'  '}" ;;
  esac
done <"$changelog" >"$out"
close_entry >>"$out"
if [ "$newest" != "$version" ]; then
  rm -f "$out"
  echo "changelog.sh: the newest entry of $changelog is '$newest', not $version" >&2
  exit 1
fi
