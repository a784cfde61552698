#!/usr/bin/env bash
# help_file_test.sh EXTRACT_CHMLIB CHM PROJECT
#
# Unpacks the compiled guide and checks that it holds every file of the
# project, that every local link and picture of its pages is inside it, that
# it carries its title in GBK (the window title the program looks for) and
# that its table of contents, in GBK too, lists the holidays chapter.
set -euo pipefail
extract=$1 chm=$2 project=$3
out=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-help.XXXXXX")
trap 'rm -rf "$out"' EXIT
"$extract" "$chm" "$out" >/dev/null

fails=0
fail() { echo "$*" >&2; fails=$((fails + 1)); }

files=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^$/d;p}' "$project")
for f in $files; do
  [ -s "$out/$f" ] || fail "missing from the help file: $f"
done
for page in "$out"/*.html; do
  for link in $(grep -oE '(href|src)="[^"#:]+' "$page" | sed 's/^[a-z]*="//'); do
    [ -e "$out/$link" ] || fail "$(basename "$page") links to $link, which is not in the help file"
  done
done

title_gbk=$(printf 'Kadrel2的帮助' | iconv -f UTF-8 -t GBK)
grep -qF "$title_gbk" "$out/#SYSTEM" 2>/dev/null || grep -aqF "$title_gbk" "$chm" ||
  fail "the help file does not carry the title Kadrel2的帮助 in GBK"
toc=$(iconv -f GBK -t UTF-8 "$out/HelpKD.hhc") || fail "the table of contents is not GBK"
grep -qF 'value="公共假日"' <<<"$toc" || fail "the table of contents has no entry for the holidays chapter"
grep -qF '<param name="Local" value="holidays.html">' <<<"$toc" || fail "the holidays entry does not open holidays.html"

[ "$fails" -eq 0 ] && echo "help file reads back complete"
