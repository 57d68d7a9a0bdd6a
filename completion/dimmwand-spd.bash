# bash completion for dimmwand-spd: subcommands, their options, the values of DEVICE and -t, file
# names where images go, set's field names (from `dimmwand-spd fields` of the image given) and
# promote's profiles (the image's own, from `dimmwand-spd info --json`).
# A new subcommand is one entry in each of the three tables.

# A word as the command will receive it: quotes and backslashes removed, a leading ~/ expanded.
# Nothing in it is run, unlike eval.
_dimmwand_spd_unquote() {
  local word=$1 out="" quote="" c i
  for ((i = 0; i < ${#word}; i++)); do
    c=${word:i:1}
    if [[ $quote == "'" ]]; then
      if [[ $c == "'" ]]; then quote=""; else out+=$c; fi
    elif [[ $quote == '"' ]]; then
      if [[ $c == '"' ]]; then
        quote=""
      elif [[ $c == '\' && ${word:i+1:1} == [\"\\\$\`] ]]; then
        out+=${word:i+1:1}
        ((i++))
      else
        out+=$c
      fi
    elif [[ $c == "'" || $c == '"' ]]; then
      quote=$c
    elif [[ $c == '\' ]]; then
      out+=${word:i+1:1}
      ((i++))
    else
      out+=$c
    fi
  done
  [[ $word == "~/"* ]] && out=$HOME/${out#\~/}
  printf '%s' "$out"
}

# The XMP and EXPO profiles an image has, as promote names them: xmp1, expo2, ...
_dimmwand_spd_profiles() {  # PROGRAM IMAGE
  "$1" info --json "$2" 2>/dev/null | grep -oE '"(xmp|expo|sections)":|"number":[0-9]+' |
    awk -F: '/"sections"/ { exit } /"xmp"/ { family = "xmp"; next } /"expo"/ { family = "expo"; next }
             family != "" { print family $2 }'
}

_dimmwand_spd() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  # The options of each subcommand (-h and --help are everyone's).
  local -A options=(
    [check]="-t --strict --json"
    [fix]="-t -o --force"
    [info]="-t --all --json"
    [diff]="--json"
    [convert]="-o --any-size"
    [host]="--sysfs --save --json"
    [kit]=""
    [fields]="--json"
    [set]="-o --force --json"
    [rebin]="--speed -o --force --json"
    [promote]="--profile --accept-voltage -o --force --json"
  )
  # Its positional words in order: an image file, the DDR generation; "files..." repeats.
  local -A positionals=(
    [check]="file device"
    [fix]="file device"
    [info]="file device"
    [diff]="file file"
    [convert]="file"
    [host]=""
    [kit]="files..."
    [fields]="file"
    [set]="file fields..."
    [rebin]="file"
    [promote]="file"
  )
  # The options that take a value, and what the value is.
  local -A values=([-t]="mode" [-o]="file" [--sysfs]="folder" [--save]="folder" [--speed]="speed"
    [--profile]="profile")

  local sub="" i word
  local -a given=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $sub ]]; then
      [[ $word != -* ]] && sub=$word
    elif [[ -n ${values[$word]+set} ]]; then
      ((i++))
    elif [[ $word != -* || $word == - ]]; then
      given+=("$(_dimmwand_spd_unquote "$word")")
    fi
  done

  if [[ -z $sub ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "-h --help -V --version" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "${!options[*]} help" -- "$cur")
    fi
    return
  fi
  if [[ $sub == help ]]; then
    ((${#given[@]} == 0)) && mapfile -t COMPREPLY < <(compgen -W "${!options[*]}" -- "$cur")
    return
  fi
  [[ -n ${options[$sub]+set} ]] || return

  local kind=""
  if [[ -n ${values[$prev]+set} ]]; then
    kind=${values[$prev]}
  elif [[ $cur == -?* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${options[$sub]} -h --help" -- "$cur")
    return
  else
    local -a expected=(${positionals[$sub]})
    local n=${#given[@]}
    if ((n < ${#expected[@]})); then
      kind=${expected[n]}
    elif ((${#expected[@]} > 0)) && [[ ${expected[-1]} == *... ]]; then
      kind=${expected[-1]}
    fi
  fi
  case $kind in
    mode) mapfile -t COMPREPLY < <(compgen -W "spd reg" -- "$cur") ;;
    device) mapfile -t COMPREPLY < <(compgen -W "3 4 5" -- "$cur") ;;
    file | files...)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    folder)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
    speed) mapfile -t COMPREPLY < <(compgen -W "800 1066 1333 1600 1866 2133 2400 2666 2933 3200 3600 4000 4400 4800 5200 5600 6000 6400" -- "$cur") ;;
    profile) mapfile -t COMPREPLY < <(compgen -W "$(_dimmwand_spd_profiles "${COMP_WORDS[0]}" "${given[0]}")" -- "$cur") ;;
    fields...)
      compopt -o nospace 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -W "$("${COMP_WORDS[0]}" fields "${given[0]}" 2>/dev/null | awk '{ print $1 "=" }')" -- "$cur")
      ;;
  esac
}
complete -F _dimmwand_spd dimmwand-spd
