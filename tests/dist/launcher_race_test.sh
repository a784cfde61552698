#!/usr/bin/env bash
# launcher_race_test.sh LAUNCHER [ROUNDS]
#
# Starts the launcher twice at once on each of ROUNDS fresh home folders, as
# a double click does, with a stand-in program: every start must succeed and
# leave a private data folder. Then a data folder that is not the user's
# own, or not a folder, must be refused with a word, never entered.
set -euo pipefail
launcher=$1 rounds=${2:-300}
root=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-launch.XXXXXX")
trap 'chmod -R u+rwx "$root" 2>/dev/null; rm -rf "$root"' EXIT
mkdir "$root/bin" "$root/app"
cp "$launcher" "$root/bin/kadrel"
printf '#!/bin/sh\npwd\n' >"$root/app/kadrel"
chmod +x "$root/bin/kadrel" "$root/app/kadrel"
start() { env -i PATH=/usr/bin:/bin HOME="$1" "$root/bin/kadrel"; }

# One round: two starts at once on a fresh home; what went wrong goes to
# the round's own file.
round() {
  local home=$root/h$1 a b
  mkdir "$home"
  start "$home" >/dev/null 2>"$home.a" &
  a=$!
  start "$home" >/dev/null 2>"$home.b" &
  b=$!
  wait $a || cat "$home.a" >>"$root/failed"
  wait $b || cat "$home.b" >>"$root/failed"
  local mode
  mode=$(stat -c %a "$home/.local/share/kadrel")
  [ "$mode" = 700 ] || echo "round $1: data folder mode $mode" >>"$root/failed"
}
: >"$root/failed"
for i in $(seq "$rounds"); do
  round "$i" &
  if [ $((i % 10)) = 0 ]; then wait; fi
done
wait
if [ -s "$root/failed" ]; then
  echo "$(wc -l <"$root/failed") of $((2 * rounds)) starts failed:" >&2
  sort "$root/failed" | uniq -c >&2
  exit 1
fi

# Not a folder: refused, and the file stays.
home=$root/file-home
mkdir -p "$home/.local/share"
echo keep >"$home/.local/share/kadrel"
if out=$(start "$home" 2>&1); then echo "a file as data folder was entered: $out" >&2; exit 1; fi
grep -q "is not a folder of yours" <<<"$out" || { echo "unclear refusal: $out" >&2; exit 1; }
[ "$(cat "$home/.local/share/kadrel")" = keep ] || { echo "the file was changed" >&2; exit 1; }

# Someone else's folder: refused (root can give one away to test this).
if [ "$(id -u)" = 0 ]; then
  home=$root/foreign-home
  mkdir -p -m 0700 "$home/.local/share/kadrel"
  chown 65534:65534 "$home/.local/share/kadrel"
  if out=$(start "$home" 2>&1); then echo "someone else's data folder was entered: $out" >&2; exit 1; fi
  grep -q "is not a folder of yours" <<<"$out" || { echo "unclear refusal: $out" >&2; exit 1; }
fi
echo "$((2 * rounds)) simultaneous starts, every one with its private folder"
