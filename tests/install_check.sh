#!/usr/bin/env bash
# What an installation holds and how it behaves: files in their places, the manual pages render,
# the completions offer what they should in fresh shells of each kind, and the .deb declares its
# dependencies and runs.
#   install_check.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAILED: $*"; }
expect() {  # NAME EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then ok; else bad "$1: got '$3', want '$2'"; fi
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null || bad "cmake --install"
for f in bin/dimmwand bin/dimmwand-emu bin/dimmwand-spd share/man/man1/dimmwand.1 share/man/man1/dimmwand-emu.1 \
  share/man/man1/dimmwand-spd.1 bin/dimmwand-ui share/man/man1/dimmwand-ui.1 share/man/zh_CN/man1/dimmwand-ui.1 \
  share/bash-completion/completions/dimmwand share/zsh/site-functions/_dimmwand \
  share/fish/vendor_completions.d/dimmwand.fish share/bash-completion/completions/dimmwand-spd \
  share/zsh/site-functions/_dimmwand-spd share/fish/vendor_completions.d/dimmwand-spd.fish share/doc/dimmwand/README.md share/doc/dimmwand/README.en.md \
  share/doc/dimmwand/samples/spd4.bin share/man/zh_CN/man1/dimmwand.1 share/man/zh_CN/man1/dimmwand-spd.1 \
  share/man/zh_CN/man1/dimmwand-emu.1 share/bash-completion/completions/dimmwand-emu \
  share/zsh/site-functions/_dimmwand-emu share/fish/vendor_completions.d/dimmwand-emu.fish share/dimmwand/dimmwand-emu.ps1; do
  [ -e "$work/prefix/$f" ] && ok || bad "not installed: $f"
done
expect "installed binary runs" "dimmwand 0.1.0" "$("$work/prefix/bin/dimmwand" --version | cut -d' ' -f1,2)"

for page in dimmwand dimmwand-emu dimmwand-spd dimmwand-ui; do
  text=$(MANWIDTH=80 man -l "$work/prefix/share/man/man1/$page.1" 2>"$work/man-err")
  [ -s "$work/man-err" ] && bad "$page.1 warnings: $(cat "$work/man-err")"
  [[ $text == *NAME*SYNOPSIS*DESCRIPTION* ]] && ok || bad "$page.1 does not render"
done
[[ $(man -l "$work/prefix/share/man/man1/dimmwand.1") == *"EXIT STATUS"*"无响应"* ]] && ok || bad "dimmwand.1 sections"
for page in dimmwand dimmwand-emu dimmwand-spd dimmwand-ui; do
  text=$(MANWIDTH=80 man -l "$work/prefix/share/man/zh_CN/man1/$page.1" 2>"$work/man-err")
  [ -s "$work/man-err" ] && bad "zh_CN/$page.1 warnings: $(cat "$work/man-err")"
  [[ $text == *名称*概要*描述* ]] && ok || bad "zh_CN/$page.1 does not render"
done
[[ $(man -l "$work/prefix/share/man/zh_CN/man1/dimmwand.1") == *"退出状态"*"130"*"无响应"* ]] && ok || bad "zh_CN/dimmwand.1 sections"
# Chinese text has no spaces between its characters: a space between two of them, outside the
# synopsis (whose words are the arguments), is a join of two source lines that groff filled with
# a space, as in "无流控 发送".
for page in dimmwand dimmwand-emu dimmwand-spd dimmwand-ui; do
  stray=$(MANWIDTH=80 man -l "$work/prefix/share/man/zh_CN/man1/$page.1" 2>/dev/null | perl -CS -ne '
    $synopsis = /^\x{6982}\x{8981}/ if /^\S/;  # 概要
    print if !$synopsis && /[\x{3000}-\x{303F}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}] [\x{3000}-\x{303F}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}]/')
  expect "zh_CN/$page.1: no space between Chinese characters" "" "$stray"
done

# The other shells' completions: each parsed by its shell, fish's also asked; PowerShell is not in
# Debian, so its script gets a check of its brackets and quotes.
zsh -n "$work/prefix/share/zsh/site-functions/_dimmwand" && ok || bad "zsh completion does not parse"
fish_file="$work/prefix/share/fish/vendor_completions.d/dimmwand.fish"
fish -n "$fish_file" && ok || bad "fish completion does not parse"
expect "fish: device values" "3 4 5" "$(fish -c "source $fish_file; complete -C 'dimmwand write -i a.bin COM3 '" | cut -f1 | tr '\n' ' ' | sed 's/ $//')"
expect "fish: write options" "--backup --changed --check --force --help --protect --verify" \
  "$(fish -c "source $fish_file; complete -C 'dimmwand write COM3 5 --'" | cut -f1 | sort | tr '\n' ' ' | sed 's/ $//')"
ps1_balance=$(sed -e "s/'[^']*'//g" -e 's/"[^"]*"//g' -e 's/#.*//' "$(dirname "$0")/../completion/dimmwand.ps1" |
  awk '{ for (i = 1; i <= length($0); i++) { c = substr($0, i, 1); if (c ~ /[{(\[]/) d++; if (c ~ /[})\]]/) d-- ; if (d < 0) bad = 1 } }
       END { print (d == 0 && !bad) ? "balanced" : "unbalanced" }')
expect "PowerShell completion brackets" "balanced" "$ps1_balance"

# complete WORDS...: what the completion offers for the last word
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _dimmwand; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$work/prefix/share/bash-completion/completions/dimmwand" "$@" | sort | tr '\n' ' '
}
dw="$work/prefix/bin/dimmwand"
expect "subcommands" "ReadByte WriteByte help read scan write write-protect " "$(complete_words "$dw" "")"
expect "subcommands starting with w" "write write-protect " "$(complete_words "$dw" w)"
expect "-t values" "reg spd " "$(complete_words "$dw" read COM3 5 -t "")"
expect "device values" "3 4 5 " "$(complete_words "$dw" read COM3 "")"
expect "device values after an option" "3 4 5 " "$(complete_words "$dw" write -i a.bin COM3 "")"
expect "read options" "--help --verify -h -o -t " "$(complete_words "$dw" read COM3 5 -)"
expect "careful write options" "--backup --changed --check --force --help --protect --verify " "$(complete_words "$dw" write COM3 5 --)"
expect "device values after --backup" "3 4 5 " "$(complete_words "$dw" write --backup b.bin COM3 "")"
expect "top-level options" "--help --version " "$(complete_words "$dw" --)"
expect "help topics" "write write-protect " "$(complete_words "$dw" help wr)"
touch "$work/image-one.bin"
expect "files after -i" "$work/image-one.bin " "$(complete_words "$dw" write COM3 3 -i "$work/image-o")"
expect "files after --backup" "$work/image-one.bin " "$(complete_words "$dw" write COM3 3 --backup "$work/image-o")"
ports=$("$dw" scan | grep -v '^未找到' | sort | tr '\n' ' ')
expect "ports after the subcommand" "$ports" "$(complete_words "$dw" ReadByte "")"

# dimmwand-spd's completions, each in a fresh shell of its kind as a user's would load them:
# bash through bash-completion's loader (by the command's name, from XDG_DATA_DIRS), zsh through
# compinit and its fpath, fish from a folder of XDG_DATA_DIRS. Each must offer every subcommand
# the program lists, so that a new subcommand without completions fails here.
spd="$work/prefix/bin/dimmwand-spd"
spd_commands=$("$spd" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF && $1 != "help" { print $1 }' | sort | tr '\n' ' ')
mkdir -p "$work/files/folder" && touch "$work/files/image-a.bin" "$work/files/image-b.txt"
bash_complete() {  # PROGRAM WORDS...: what bash offers for the last word
  (cd "$work/files" && XDG_DATA_DIRS="$work/prefix/share" PATH="$work/prefix/bin:$PATH" bash --norc --noprofile -i -c '
    source /usr/share/bash-completion/bash_completion
    program=$1; shift
    __load_completion "$program" || exit 1
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    function=$(complete -p "$program" | sed -E "s/.* -F ([^ ]+) .*/\1/")
    "$function" "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$@" 2>/dev/null | sort | tr '\n' ' ')
}
bash_spd() { bash_complete dimmwand-spd "$@"; }
cat >"$work/capture.zsh" <<'ZSH'
# capture.zsh FPATH LINE: the candidates an interactive zsh offers for LINE's last word on a tab.
zmodload zsh/zpty
zpty -b z zsh -f -i
zpty -w z "PROMPT=; RPROMPT=; unsetopt zle_bracketed_paste; fpath=($1 \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z 'compadd() { local -a hits; builtin compadd -O hits "$@"; (( $#hits )) && print -rl -- "" "::"${^hits}; builtin compadd "$@" }'
zpty -w z 'print -r -- ::rea""dy'
zpty -r z line '*::ready*'
# The line and a tab; once the completion is done, a command whose output ends the capture.
zpty -w -n z "$2"$'\t'$'\C-u''print -r -- ::do""ne'$'\n'
zpty -r z out '*::done*'
zpty -d z
for l in ${(f)out//$'\r'/}; do [[ $l == *::* && $l != *::do* ]] && print -r -- "${l##*::}"; done
ZSH
zsh_spd() {  # LINE
  (cd "$work/files" && zsh -f "$work/capture.zsh" "$work/prefix/share/zsh/site-functions" "$1" | sort -u | tr '\n' ' ')
}
fish_spd() {  # LINE; fish loads the completion of a command it finds on the PATH (any of ours)
  (cd "$work/files" && HOME="$work/home" PATH="$work/prefix/bin:$PATH" XDG_DATA_DIRS="$work/prefix/share" \
    fish -c "complete -C '$1'" | cut -f1 | sort | tr '\n' ' ')
}
for shell in bash zsh fish; do
  if [ $shell = bash ]; then got=$(bash_spd dimmwand-spd ""); else got=$(${shell}_spd "dimmwand-spd "); fi
  expect "$shell: dimmwand-spd's subcommands" "${spd_commands}" "$(echo "$got" | tr ' ' '\n' | grep -v '^help$' | grep . | sort | tr '\n' ' ')"
done
expect "bash: DEVICE after the image" "3 4 5 " "$(bash_spd dimmwand-spd check image-a.bin "")"
expect "bash: files for kit" "folder image-a.bin image-b.txt " "$(bash_spd dimmwand-spd kit image-a.bin "")"
expect "bash: -t values" "reg spd " "$(bash_spd dimmwand-spd info -t "")"
expect "bash: host options" "--help --json --save --sysfs " "$(bash_spd dimmwand-spd host --)"
expect "bash: folders after --save" "folder " "$(bash_spd dimmwand-spd host --save "")"
expect "bash: files after -o" "image-a.bin " "$(bash_spd dimmwand-spd convert x.txt -o image-a)"
expect "zsh: DEVICE after the image" "3 4 5 " "$(zsh_spd 'dimmwand-spd fix image-a.bin ')"
expect "zsh: files for convert" "folder image-a.bin image-b.txt " "$(zsh_spd 'dimmwand-spd convert ')"
expect "zsh: info options" "--all --help --json -h -t " "$(zsh_spd 'dimmwand-spd info image-a.bin -')"
expect "fish: DEVICE after the image" "3 4 5 " "$(fish_spd 'dimmwand-spd check image-a.bin ')"
expect "fish: files for diff" "folder/ image-a.bin image-b.txt " "$(fish_spd 'dimmwand-spd diff image-a.bin ')"
expect "fish: no files for host" "" "$(fish_spd 'dimmwand-spd host ')"
expect "fish: kit options" "--help -h " "$(fish_spd 'dimmwand-spd kit -')"
# Each subcommand's completion offers the long options its help lists, no fewer and no more.
for sub in $spd_commands; do
  want=$("$spd" "$sub" --help | grep -oE '^ +(-[a-zA-Z], )?--[a-z0-9-]+' | grep -oE -- '--[a-z0-9-]+' | sort -u | tr '\n' ' ')
  expect "bash: $sub's options" "$want" "$(bash_spd dimmwand-spd "$sub" -- | tr ' ' '\n' | grep -- '^--' | sort -u | tr '\n' ' ')"
done
# set completes the field names of the image it was given, from the program itself.
sample="$work/prefix/share/doc/dimmwand/samples/spd4.bin"
expect "bash: set's fields" "part_number= " "$(bash_spd "$spd" set "$sample" part)"
expect "zsh: set's fields" "part_number= " "$(zsh_spd "$spd set $sample part")"
expect "fish: set's fields" "part_number= " "$(fish_spd "dimmwand-spd set $sample part")"
expect "bash: promote options" "--accept-voltage " "$(bash_spd dimmwand-spd promote x.bin --acc)"
# ... also when the image's name is quoted or escaped, as a name with spaces must be.
cp "$sample" "$work/files/my module.bin"
expect "bash: set's fields, the name quoted" "part_number= " "$(bash_spd dimmwand-spd set '"my module.bin"' part)"
expect "bash: set's fields, the name escaped" "part_number= " "$(bash_spd dimmwand-spd set -o out.bin 'my\ module.bin' part)"
expect "zsh: set's fields, the name quoted" "part_number= " "$(zsh_spd "$spd set 'my module.bin' part")"
expect "zsh: set's fields, the name escaped" "part_number= " "$(zsh_spd "$spd set -o out.bin my\\ module.bin part")"
expect "fish: set's fields, the name quoted" "part_number= " "$(fish_spd 'dimmwand-spd set "my module.bin" part')"
expect "fish: set's fields, the name escaped" "part_number= " "$(fish_spd 'dimmwand-spd set -o out.bin my\\ module.bin part')"
# promote offers the profiles the image has, no others: one XMP profile in the DDR5 sample, two
# XMP and two EXPO profiles in a real module's dump.
cp "$work/prefix/share/doc/dimmwand/samples/spd5.bin" "$work/files/one xmp.bin"
cp "$(dirname "$0")/data/spd-dumps/ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin" "$work/files/team group.bin"
expect "bash: the image's one profile" "xmp1 " "$(bash_spd dimmwand-spd promote 'one\ xmp.bin' --profile "")"
expect "bash: the image's four profiles" "expo1 expo2 xmp1 xmp2 " "$(bash_spd dimmwand-spd promote '"team group.bin"' --profile "")"
expect "zsh: the image's one profile" "xmp1 " "$(zsh_spd "$spd promote 'one xmp.bin' --profile ")"
expect "zsh: the image's four profiles" "expo1 expo2 xmp1 xmp2 " "$(zsh_spd "$spd promote -o x.bin team\\ group.bin --profile ")"
expect "fish: the image's one profile" "xmp1 " "$(fish_spd 'dimmwand-spd promote "one xmp.bin" --profile ')"
expect "fish: the image's four profiles" "expo1 expo2 xmp1 xmp2 " "$(fish_spd 'dimmwand-spd promote -o x.bin team\\ group.bin --profile ')"

# dimmwand-emu's completions offer every option its help lists (so that a new option without
# completions fails here), the values of --only, files and folders where they go, and after --
# the command it runs, completed as that command's own.
emu_options=$("$work/prefix/bin/dimmwand-emu" --help | grep -oE '^ +(-[a-zA-Z],)?--[a-z0-9-]+' |
  sed -E 's/^ +//; s/,/ /' | tr ' ' '\n' | sort | tr '\n' ' ')
expect "bash: dimmwand-emu's options" "-- $emu_options" "$(bash_complete dimmwand-emu dimmwand-emu -)"
expect "zsh: dimmwand-emu's options" "$emu_options" "$(zsh_spd 'dimmwand-emu -' | tr ' ' '\n' | grep -vx -- '-*' | sort | tr '\n' ' ')"
expect "fish: dimmwand-emu's options" "$emu_options" "$(fish_spd 'dimmwand-emu -')"
expect "bash: --only values" "3 4 5 " "$(bash_complete dimmwand-emu dimmwand-emu --only "")"
expect "zsh: --only values" "3 4 5 " "$(zsh_spd 'dimmwand-emu --only ')"
expect "fish: --only values" "3 4 5 " "$(fish_spd 'dimmwand-emu --only ')"
expect "bash: files after --spd4" "image-a.bin " "$(bash_complete dimmwand-emu dimmwand-emu --spd4 image-a)"
expect "zsh: files after --reg5" "image-a.bin " "$(zsh_spd 'dimmwand-emu --reg5 image-a')"
expect "fish: folders after --export" "folder/ " "$(fish_spd 'dimmwand-emu --export fo')"
expect "bash: the command after --" "dimmwand-spd " "$(bash_complete dimmwand-emu dimmwand-emu --only 4 -- dimmwand-s)"
expect "bash: the command's own words after --" "ReadByte " "$(bash_complete dimmwand-emu dimmwand-emu -- dimmwand Rea)"
expect "zsh: the command's own words after --" "ReadByte " "$(PATH="$work/prefix/bin:$PATH" zsh_spd 'dimmwand-emu -- dimmwand Rea')"
expect "fish: the command's own words after --" "ReadByte " "$(fish_spd 'dimmwand-emu --only 4 -- dimmwand Rea')"
ps1_balance=$(sed -e "s/'[^']*'//g" -e 's/"[^"]*"//g' -e 's/#.*//' "$(dirname "$0")/../completion/dimmwand-emu.ps1" |
  awk '{ for (i = 1; i <= length($0); i++) { c = substr($0, i, 1); if (c ~ /[{(\[]/) d++; if (c ~ /[})\]]/) d-- ; if (d < 0) bad = 1 } }
       END { print (d == 0 && !bad) ? "balanced" : "unbalanced" }')
expect "PowerShell dimmwand-emu completion brackets" "balanced" "$ps1_balance"
expect "PowerShell: dimmwand-emu's options" "$emu_options" \
  "$(grep -oE "'-[a-zA-Z0-9-]+'" "$(dirname "$0")/../completion/dimmwand-emu.ps1" | tr -d "'" | grep -vx -- -- | sort | tr '\n' ' ')"

# PowerShell is not in Debian: its script must at least name every subcommand and balance.
ps1="$(dirname "$0")/../completion/dimmwand-spd.ps1"
expect "PowerShell: dimmwand-spd's subcommands" "${spd_commands}" \
  "$(sed -n "s/^ *'\([a-z-]*\)' = @('.*/\1/p" "$ps1" | sort | tr '\n' ' ')"
ps1_balance=$(sed -e "s/'[^']*'//g" -e 's/"[^"]*"//g' -e 's/#.*//' "$ps1" |
  awk '{ for (i = 1; i <= length($0); i++) { c = substr($0, i, 1); if (c ~ /[{(\[]/) d++; if (c ~ /[})\]]/) d-- ; if (d < 0) bad = 1 } }
       END { print (d == 0 && !bad) ? "balanced" : "unbalanced" }')
expect "PowerShell dimmwand-spd completion brackets" "balanced" "$ps1_balance"

# The Debian package: dependencies declared, and its files run once unpacked.
if command -v dpkg-shlibdeps >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null 2>&1) || bad "cpack"
  deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -n 1)
  if [ -n "$deb" ]; then
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libc6 libstdc++6 libfmt9 libserialport0; do
      [[ $depends == *"$lib"* ]] && ok || bad "Depends lacks $lib: $depends"
    done
    dpkg-deb -x "$deb" "$work/unpacked"
    expect "packaged binary runs" "dimmwand 0.1.0" "$("$work/unpacked/usr/bin/dimmwand" --version | cut -d' ' -f1,2)"
    out=$("$work/unpacked/usr/bin/dimmwand-emu" -- "$work/unpacked/usr/bin/dimmwand" ReadByte '{port}' 4 2)
    expect "packaged binaries work together" "0C" "$out"
    # Under /usr, zsh's completions go where Debian's zsh looks for packages' ones.
    for f in _dimmwand _dimmwand-spd; do
      [ -e "$work/unpacked/usr/share/zsh/vendor-completions/$f" ] && ok || bad "the package lacks vendor-completions/$f"
    done
  fi
else
  bad "dpkg-shlibdeps is missing (dpkg-dev)"
fi

echo "install-check: $passed passed, $failed failed"
[ "$failed" = 0 ]
