# bash completion for dimmwand: subcommands, options, the values of DEVICE and -t, files after
# -o, -i and --backup, and the ports present (from `dimmwand scan`) where a port is expected.
_dimmwand() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="scan read ReadByte write WriteByte write-protect help"
  local sub="" positional=0 i word
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $sub ]]; then
      [[ $word != -* ]] && sub=$word
      continue
    fi
    case $word in
      -t | -o | -i | --backup) ((i++)) ;;
      -*) ;;
      *) ((positional++)) ;;
    esac
  done
  if [[ -z $sub ]]; then
    local words=$commands
    [[ $cur == -* ]] && words="-h --help -V --version"
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
    return
  fi
  case $prev in
    -t)
      mapfile -t COMPREPLY < <(compgen -W "spd reg" -- "$cur")
      return
      ;;
    -o | -i | --backup)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
  esac
  case $sub in
    help)
      ((positional == 0)) && mapfile -t COMPREPLY < <(compgen -W "${commands% help}" -- "$cur")
      return
      ;;
    scan)
      [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "-l --long -h --help" -- "$cur")
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    local options="-h --help"
    case $sub in
      read) options="-t -o --verify $options" ;;
      write) options="-t -i --verify --changed --backup --check --protect --force $options" ;;
      WriteByte | write-byte | writebyte) options="--verify $options" ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  case $positional in
    0)
      local ports
      ports=$("${COMP_WORDS[0]}" scan 2>/dev/null | grep -v '^未找到')
      mapfile -t COMPREPLY < <(compgen -W "$ports" -- "$cur")
      ;;
    1) mapfile -t COMPREPLY < <(compgen -W "3 4 5" -- "$cur") ;;
  esac
}
complete -F _dimmwand dimmwand
