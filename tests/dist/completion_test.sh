#!/usr/bin/env bash
# completion_test.sh COMPLETION KADREL_CLI
#
# Completes a few command lines with the installed completion, as bash would
# on Tab, against a scratch data folder with two users.
set -euo pipefail
completion=$1 cli=$2
data=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-completion.XXXXXX")
trap 'rm -rf "$data"' EXIT
"$cli" --data "$data" add-user "张三" 0 2020-01-01 0 >/dev/null
"$cli" --data "$data" add-user "Wang Wu" 0 2020-01-01 0 >/dev/null
"$cli" --data "$data" add-duty 白班 >/dev/null
"$cli" --data "$data" add-duty "夜 班" >/dev/null
"$cli" --data "$data" add-scheme S 1,2 >/dev/null

source "$completion"
fails=0
expect() {  # EXPECTED WORDS...  (the last word is the one being completed)
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kadrel_cli
  local got
  got=$(printf '%s|' "${COMPREPLY[@]}")
  if [ "$got" != "$want" ]; then
    echo "completing '$*': got '$got', expected '$want'" >&2
    fails=$((fails + 1))
  fi
}
expect "delete-duty|delete-scheme|delete-user|" "$cli" del
expect "days|" "$cli" --data "$data" days
expect "txt|" "$cli" export x 2026 --format t
expect "gbk|" "$cli" export x 2026 --encoding g
expect "张三|" "$cli" --data "$data" duty 张
expect "Wang Wu|" "$cli" --data "$data" export W
expect "张三|Wang Wu|" "$cli" --data "$data" day today --user ""
expect "today|tomorrow|" "$cli" --data "$data" duty 张三 to
expect "tsv|" "$cli" roster 2026-10 --format t
expect "--users|" "$cli" roster 2026-10 --us
expect "张三|Wang Wu|" "$cli" --data "$data" roster 2026-10 --users ""
expect "--hours|" "$cli" stats x 2026 --h
expect "--password-file|" "$cli" --data "$data" publish 张三 https://x/ --pa
expect "vdir|" "$cli" export x 2026 --format v
expect "--remind|--rest|" "$cli" set-times 夜班 20:00 720 --color "#FF0000" --re
expect "张三|" "$cli" --data "$data" next 张
expect "today|tomorrow|yesterday|白班|夜 班|-|" "$cli" --data "$data" set 张三 -1 ""
expect "夜 班|" "$cli" --data "$data" extra 张三 today 夜
expect "Wang Wu|" "$cli" --data "$data" swap 张三 W
expect "1|" "$cli" --data "$data" change-scheme 张三 today ""
expect "年假|" "$cli" --data "$data" leave 张三 today 年
expect "1|" "$cli" --data "$data" add-user 李四 ""
expect "夜 班|" "$cli" --data "$data" delete-duty 夜
# bash splits "--data=DIR" at "="; a quote the user opened is not the name's.
expect "Wang Wu|" "$cli" --data = "$data" duty W
expect "Wang Wu|" "$cli" --data "$data" duty '"Wa'
expect "exceptions|extra|export|" "$cli" ex
expect "--explain|--json|" "$cli" duty x 2026 --
expect "--encoding|--format|--months|--no-rest|-o|" "$cli" export x 2026 -
expect "-|" "$cli" --data "$data" set 张三 today -
expect "|" "$cli" --data "$data" export 张三 today today ""
[ "$fails" -eq 0 ] && echo "completion as expected"
