# bash completion for kadrel-cli: commands, options, formats, encodings and
# the names of the users in the data folder the command line would use.

_kadrel_cli_users() {
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
  "${COMP_WORDS[0]}" "${data[@]}" users 2>/dev/null | cut -f1
}

_kadrel_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="check users today duty day days stats roster who add-duty add-scheme add-user
    delete-duty delete-scheme delete-user export publish set-times clear-times next reminders help"
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
    --password-file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --calendar) return ;;
    --months | --remind | --color | --from | --to) return ;;
    --user | --users)
      # publish's --user is the calendar server's account, not a Kadrel user.
      [[ " ${COMP_WORDS[*]} " == *" publish "* ]] && return
      local IFS=$'\n'
      COMPREPLY=($(compgen -W "$(_kadrel_cli_users)" -- "$cur"))
      return ;;
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
      case "$w" in
        --format | --months | -o | --output | --encoding | --user | --users | --remind | --color | --from | --to | \
          --password-file | --calendar)
          i=$((i + 1)) ;;
        -*) ;;
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
    day)
      if [[ "$cur" == --* ]]; then
        COMPREPLY=($(compgen -W "--user --json" -- "$cur"))
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
    roster | who | stats)
      if [[ "$cur" == --* ]]; then
        local options="--json"
        [ "$command" = roster ] && options="--users --format --json"
        [ "$command" = stats ] && options="--hours"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
      fi
      ;;
  esac

  # The commands whose first argument is a user's name.
  case "$command" in
    duty | stats | export | publish | delete-user | next)
      if [ "$position" -eq 0 ]; then
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(_kadrel_cli_users)" -- "$cur"))
        return
      fi
      ;;
  esac
  case "$command" in
    duty | day | days | stats | roster | who | add-user)
      COMPREPLY=($(compgen -W "today tomorrow yesterday" -- "$cur")) ;;
  esac
}

complete -F _kadrel_cli kadrel-cli
