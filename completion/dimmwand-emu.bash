# bash completion for dimmwand-emu: its options, image files and folders where they go, the
# generations of --only, and after -- the command it runs, completed as that command's own.
_dimmwand_emu() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local flags="-h --help -V --version --save --silent --no-line-feed --separators --lower --hangup-mid-answer --line-rate"
  # The options that take a value, and what the value is.
  local -A values=([--spd3]=file [--spd4]=file [--spd5]=file [--reg5]=file [--log]=file [--export]=folder [--swap]=file
    [--write-cycle]=number [--min-write-gap]=number [--chunk]=number [--chunk-delay]=number [--short]=number
    [--stale]=text [--hangup-after]=number [--babble]=text [--answer]=text [--write-answer]=text
    [--protect-answer]=text [--only]=generation [--protect-range]=text [--protect-blocks]=text
    [--flaky]=number [--seed]=number [--lose-writes]=text [--read-time]=number [--interrupt-after]=number)
  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -- ]]; then
      # The command and its arguments, as if typed on their own.
      if declare -F _command_offset >/dev/null; then
        _command_offset $((i + 1))
      elif ((COMP_CWORD == i + 1)); then
        mapfile -t COMPREPLY < <(compgen -c -- "$cur")
      else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      return
    fi
    [[ -n ${values[${COMP_WORDS[i]}]+set} ]] && ((i++))
  done
  case ${values[$prev]-} in
    file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    folder)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return
      ;;
    generation)
      mapfile -t COMPREPLY < <(compgen -W "3 4 5" -- "$cur")
      return
      ;;
    number | text) return ;;
  esac
  mapfile -t COMPREPLY < <(compgen -W "$flags ${!values[*]} --" -- "$cur")
}
complete -F _dimmwand_emu dimmwand-emu
