# bash completion for kadrel-cli: commands and their options (as the
# program's --help lists them), formats, encodings, and in each argument slot
# what it means: the names of the users, the duty kinds and the schemes' IDs
# in the data folder the command line would use, date words and leave kinds.
#
# Names and files are handed to readline as file names are, so that it quotes
# them as bash quotes file names ("Mary Ann", O'Brien), also inside a quote
# the user opened.

# _kadrel_cli_dequote WORD: the word as the program will receive it.
_kadrel_cli_dequote() {
  local w=$1 out="" quote="" c i
  [[ $w == "~"* ]] && w=$HOME${w:1}
  for ((i = 0; i < ${#w}; i++)); do
    c=${w:i:1}
    if [ -n "$quote" ]; then
      if [ "$c" = "$quote" ]; then
        quote=""
        continue
      fi
      if [ "$quote" = '"' ] && [ "$c" = '\' ] && [[ ${w:i+1:1} == [\"\\\$\`] ]]; then
        i=$((i + 1))
        c=${w:i:1}
      fi
    elif [ "$c" = "'" ] || [ "$c" = '"' ]; then
      quote=$c
      continue
    elif [ "$c" = '\' ]; then
      i=$((i + 1))
      c=${w:i:1}
    fi
    out+=$c
  done
  printf '%s' "$out"
}

# _kadrel_cli_run ARGS...: the program, on the data folder of the line.
_kadrel_cli_run() {
  local -a data=()
  [ -n "$data_dir" ] && data=(--data "$data_dir")
  "$program" "${data[@]}" "$@" 2>/dev/null
}

# _kadrel_cli_list COMMAND FIELD: one field of a listing command's lines.
_kadrel_cli_list() { _kadrel_cli_run "$1" | cut -f"$2"; }

# _kadrel_cli_offer [-n] WORDS: the words (one a line, so that names may
# hold blanks) that start like the word being completed; -n: they are names,
# for readline to quote.
_kadrel_cli_offer() {
  local names="" w
  if [ "$1" = -n ]; then
    names=1
    shift
  fi
  while IFS= read -r w; do
    [ -n "$w" ] && [[ $w == "$cur"* ]] && COMPREPLY+=("$w")
  done <<<"$1"
  [ -n "$names" ] && { compopt -o filenames 2>/dev/null || :; }
  return 0
}

# _kadrel_cli_files: the files starting like the word, quoted by readline.
_kadrel_cli_files() {
  { compopt -o filenames 2>/dev/null || :; }
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

# _kadrel_cli_usage COMMAND: the command's line of --help, without its name.
_kadrel_cli_usage() { "$program" --help 2>/dev/null | sed -n "s/^  $1  *\(.*\)/\1/p"; }

# The commands that change data; every other command takes --json.
_kadrel_cli_writes() {
  case "$1" in
    add-* | delete-* | rename-user | set | leave | extra | swap | note | drop | change-scheme | set-times | \
      clear-times | publish | export) return 0 ;;
  esac
  return 1
}

_kadrel_cli() {
  # The words before the one being completed, as the program receives them.
  # bash splits "--data=DIR" at "="; it is joined again here.
  local -a words=()
  local i w
  for ((i = 0; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    if [ "$w" = "=" ] && [ ${#words[@]} -gt 0 ] && [[ ${words[-1]} == --* ]]; then
      words[-1]+="="
      if ((i + 1 < COMP_CWORD)); then
        i=$((i + 1))
        words[-1]+=$(_kadrel_cli_dequote "${COMP_WORDS[i]}")
      fi
      continue
    fi
    words+=("$(_kadrel_cli_dequote "$w")")
  done
  local cur prev=${words[-1]}
  cur=$(_kadrel_cli_dequote "${COMP_WORDS[COMP_CWORD]}")
  if [ "$cur" = "=" ]; then  # "--option=" with nothing after it yet
    prev=${words[-1]}
    cur=""
  elif [[ $prev == --*= ]]; then
    prev=${prev%=}
  fi
  local program=${words[0]} data_dir="" command="" position=0
  COMPREPLY=()

  # The command is the first word that is neither an option nor its value;
  # later words are options, their values and the command's arguments.
  for ((i = 1; i < ${#words[@]}; i++)); do
    w=${words[i]}
    if [ -z "$command" ]; then
      case "$w" in
        --data) data_dir=${words[i + 1]}; i=$((i + 1)) ;;
        --data=*) data_dir=${w#--data=} ;;
        -*) ;;
        *) command=$w ;;
      esac
    else
      # "-" (no duty) and "-3" (a date) are arguments.
      case "$w" in
        --format | --months | -o | --output | --encoding | --user | --users | --remind | --color | --from | --to | \
          --password-file | --calendar) i=$((i + 1)) ;;
        --* | -h) ;;
        *) position=$((position + 1)) ;;
      esac
    fi
  done

  case "$prev" in
    --data) { compopt -o dirnames 2>/dev/null || :; }; return ;;
    -o | --output | --password-file) _kadrel_cli_files; return ;;
    --format | --encoding)
      # The choices as the command's line of --help gives them: "--format tsv|csv|html".
      _kadrel_cli_offer "$(_kadrel_cli_usage "$command" | grep -o -- "$prev [a-z0-9|-]*" | head -1 | cut -d' ' -f2 |
        tr '|' '\n')"
      return ;;
    --user)
      # publish's --user is the account on the server.
      [ "$command" != publish ] && _kadrel_cli_offer -n "$(_kadrel_cli_list users 1)"
      return ;;
    --users) _kadrel_cli_offer -n "$(_kadrel_cli_list users 1)"; return ;;
    --months | --remind | --color | --from | --to | --calendar) return ;;
  esac

  if [ -z "$command" ]; then
    if [[ $cur == -* ]]; then
      _kadrel_cli_offer $'--data\n--json\n--help\n--version'
    else
      # The program lists its commands, so that new ones complete too.
      _kadrel_cli_offer "$("$program" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p')"$'\nhelp'
    fi
    return
  fi

  if [[ $cur == -* && ! $cur =~ ^-[0-9]+$ ]]; then
    # The options of the command's line of --help, and --json for a reader.
    local options
    options=$(_kadrel_cli_usage "$command" | grep -o -- '--[a-z-]*\|-o\b' | grep -vx -- '--json' | sort -u || :)
    _kadrel_cli_writes "$command" || options+=$'\n--json'
    _kadrel_cli_offer "$options"
    # A lone "-" may also be the argument itself: no duty for set.
    [ "$cur" = - ] || return 0
  fi

  local days=$'today\ntomorrow\nyesterday'
  local leave=$'年假\n病假\n事假\n婚假\n产假\n丧假\n调休'
  # What each argument slot means, command by command.
  case "$command:$position" in
    duty:0 | stats:0 | export:0 | delete-user:0 | rename-user:0 | exceptions:0 | set:0 | leave:0 | extra:0 | \
      swap:[01] | note:0 | change-scheme:0 | next:0 | publish:0)
      _kadrel_cli_offer -n "$(_kadrel_cli_list users 1)" ;;
    duty:* | stats:* | day:* | days:* | roster:* | who:* | add-user:2 | exceptions:* | set:1 | leave:1 | extra:1 | \
      swap:2 | note:1 | change-scheme:1 | export:2 | publish:[23])
      _kadrel_cli_offer "$days" ;;
    set:2) _kadrel_cli_offer -n "$days"$'\n'"$(_kadrel_cli_list duties 2)"$'\n-' ;;
    set:3) _kadrel_cli_offer -n "$(_kadrel_cli_list duties 2)"$'\n-' ;;
    extra:2 | delete-duty:0 | set-times:0 | clear-times:0) _kadrel_cli_offer -n "$(_kadrel_cli_list duties 2)" ;;
    leave:2) _kadrel_cli_offer "$days"$'\n'"$leave" ;;
    leave:3) _kadrel_cli_offer "$leave" ;;
    change-scheme:2 | add-user:1 | delete-scheme:0) _kadrel_cli_offer "$(_kadrel_cli_list schemes 1)" ;;
    export:1) _kadrel_cli_offer "$(date +%Y)"$'\n'"$days" ;;
  esac
  return 0
}

complete -F _kadrel_cli kadrel-cli
