# bash completion for kadrel-cli: commands, options, formats, encodings, and
# in each argument slot what it means: the names of the users, the duty
# kinds and the schemes' IDs in the data folder the command line would use,
# date words and leave kinds.

# _kadrel_cli_list COMMAND FIELD: one field of a listing command's lines.
_kadrel_cli_list() {
  # The folder follows --data when the line already gives one.
  local -a data=()
  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case "${COMP_WORDS[i]}" in
      --data) data=(--data "${COMP_WORDS[i + 1]}") ;;
      --data=*) data=("${COMP_WORDS[i]}") ;;
    esac
  done
  # The shell has not expanded a "~" of the line yet.
  [ ${#data[@]} -eq 2 ] && data[1]=${data[1]/#\~/$HOME}
  "${COMP_WORDS[0]}" "${data[@]}" "$1" 2>/dev/null | cut -f"$2"
}

# _kadrel_cli_offer WORDS...: the words (one a line, so names may hold blanks)
# that start like the word being completed.
_kadrel_cli_offer() {
  local IFS=$'\n'
  COMPREPLY+=($(compgen -W "$*" -- "$cur"))
}

_kadrel_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="check users duties schemes today duty day days stats roster who exceptions add-duty add-scheme
    add-user rename-user delete-duty delete-scheme delete-user set leave extra swap note drop change-scheme export
    publish set-times clear-times next reminders help"
  COMPREPLY=()

  case "$prev" in
    --data) compopt -o dirnames 2>/dev/null; return ;;
    -o | --output) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --format)
      if [[ " ${COMP_WORDS[*]} " == *" roster "* ]]; then
        COMPREPLY=($(compgen -W "tsv csv html" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "txt html dat ics vdir print" -- "$cur"))
      fi
      return ;;
    --encoding) COMPREPLY=($(compgen -W "utf-8 gbk" -- "$cur")); return ;;
    --months | --remind | --color | --from | --to | --calendar) return ;;
    --password-file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --user | --users)
      # publish's --user is the calendar server's account, not a Kadrel user.
      [[ " ${COMP_WORDS[*]} " == *" publish "* ]] && return
      _kadrel_cli_offer "$(_kadrel_cli_list users 1)"; return ;;
  esac

  # The command is the first word that is neither an option nor its value.
  local i command="" position=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    local w=${COMP_WORDS[i]}
    if [ -z "$command" ]; then
      case "$w" in
        --data) i=$((i + 1)) ;;
        -*) ;;
        *) command=$w ;;
      esac
    else
      # "-" (no duty) and "-3" (a date) are arguments.
      case "$w" in
        --format | --months | -o | --output | --encoding | --user | --users | --remind | --color | --from | --to | \
          --password-file | --calendar)
          i=$((i + 1)) ;;
        --* | -h) ;;
        *) position=$((position + 1)) ;;
      esac
    fi
  done

  if [ -z "$command" ]; then
    if [[ "$cur" == -* ]]; then
      COMPREPLY=($(compgen -W "--data --json --help --version" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
    return
  fi

  case "$command" in
    export)
      if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "--format --months --encoding -o --no-rest" -- "$cur"))
        return
      fi
      ;;
    publish)
      if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "--user --password-file --calendar --overwrite" -- "$cur"))
        return
      fi
      ;;
    set-times | reminders)
      if [[ "$cur" == --* ]]; then
        local options="--from --to"
        [ "$command" = set-times ] && options="--rest --remind --color"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
      fi
      ;;
    day)
      if [[ "$cur" == --* ]]; then
        COMPREPLY=($(compgen -W "--user --json" -- "$cur"))
        return
      fi
      ;;
    roster | who | stats)
      if [[ "$cur" == --* ]]; then
        local options="--json"
        [ "$command" = roster ] && options="--users --format --json"
        [ "$command" = stats ] && options="--hours --json"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
      fi
      ;;
    duty)
      if [[ "$cur" == --* ]]; then
        COMPREPLY=($(compgen -W "--explain --json" -- "$cur"))
        return
      fi
      ;;
  esac

  local days=$'today\ntomorrow\nyesterday'
  local leave=$'年假\n病假\n事假\n婚假\n产假\n丧假\n调休'
  # What each argument slot means, command by command.
  case "$command:$position" in
    duty:0 | stats:0 | export:0 | publish:0 | next:0 | delete-user:0 | rename-user:0 | exceptions:0 | set:0 | leave:0 | extra:0 | \
      swap:[01] | note:0 | change-scheme:0)
      _kadrel_cli_offer "$(_kadrel_cli_list users 1)" ;;
    duty:* | stats:* | day:* | days:* | roster:* | who:* | add-user:2 | exceptions:* | set:1 | leave:1 | extra:1 | swap:2 | note:1 | \
      change-scheme:1)
      _kadrel_cli_offer "$days" ;;
    set:2) _kadrel_cli_offer "$days"$'\n'"$(_kadrel_cli_list duties 2)"$'\n-' ;;
    set:3) _kadrel_cli_offer "$(_kadrel_cli_list duties 2)"$'\n-' ;;
    extra:2) _kadrel_cli_offer "$(_kadrel_cli_list duties 2)" ;;
    leave:2) _kadrel_cli_offer "$days"$'\n'"$leave" ;;
    leave:3) _kadrel_cli_offer "$leave" ;;
    change-scheme:2 | add-user:1 | delete-scheme:0) _kadrel_cli_offer "$(_kadrel_cli_list schemes 1)" ;;
    delete-duty:0 | set-times:0 | clear-times:0) _kadrel_cli_offer "$(_kadrel_cli_list duties 2)" ;;
  esac
}

complete -F _kadrel_cli kadrel-cli
