# fish completion for dimmwand-spd: subcommands, their options, the values of DEVICE and -t, file
# names where images go, set's field names (from `dimmwand-spd fields` of the image given) and
# promote's profiles (the image's own, from `dimmwand-spd info --json`). A new subcommand is a line
# in the first list and its own lines below.

# name, then what the help says of it
set -l dimmwand_spd_commands \
    check '检查 JEDEC、XMP 3.0 与 EXPO 校验和' \
    fix '重算所有校验和，另存为新文件' \
    info '解读映像：类型、容量、速率、时序、制造商等' \
    diff '比较两个映像，按字段列出不同的字节' \
    convert '把文本转储转成原始映像' \
    host '列出本机已安装的内存条，可逐条保存' \
    kit '几条内存条能否一起使用，共同的速率与时序' \
    fields '列出可修改的字段与当前值' \
    set '修改字段，另存为新文件' \
    rebin '降低最高速率，另存为新文件' \
    promote '把 XMP/EXPO 配置设为 JEDEC 基本设置，另存为新文件'
set -l names
for i in (seq 1 2 (count $dimmwand_spd_commands))
    set -a names $dimmwand_spd_commands[$i]
end

# How many positional words follow the subcommand (the values of options excluded).
function __dimmwand_spd_positionals
    set -l count 0
    set -l skip 0
    for w in (commandline -opc)[3..-1]
        if test $skip -eq 1
            set skip 0
        else if contains -- $w -t -o --sysfs --save --speed --profile
            set skip 1
        else if not string match -q -- '-?*' $w
            set count (math $count + 1)
        end
    end
    echo $count
end

# True when the subcommand is one of the given ones and `n` positional words follow it.
function __dimmwand_spd_at
    set -l words (commandline -opc)
    test (count $words) -ge 2; or return 1
    contains -- $words[2] $argv[2..-1]; or return 1
    test (__dimmwand_spd_positionals) -eq $argv[1]
end

complete -c dimmwand-spd -n "not __fish_seen_subcommand_from $names help" -f
complete -c dimmwand-spd -n "not __fish_seen_subcommand_from $names help" -s h -l help -d '显示帮助'
complete -c dimmwand-spd -n "not __fish_seen_subcommand_from $names help" -s V -l version -d '显示版本'
for i in (seq 1 2 (count $dimmwand_spd_commands))
    complete -c dimmwand-spd -n "not __fish_seen_subcommand_from $names help" -a $dimmwand_spd_commands[$i] -d $dimmwand_spd_commands[(math $i + 1)]
end
complete -c dimmwand-spd -n "not __fish_seen_subcommand_from $names help" -a help -d '显示帮助'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from help" -f -a "$names"

# The image named after the subcommand (the first positional word, the values of options left
# out), with a leading ~/ expanded as the shell will.
function __dimmwand_spd_image
    set -l skip 0
    for w in (commandline -opc)[3..-1]
        if test $skip -eq 1
            set skip 0
        else if contains -- $w -t -o --sysfs --save --speed --profile
            set skip 1
        else if not string match -q -- '-?*' $w
            string replace -r -- '^~/' "$HOME/" $w
            return
        end
    end
end

# The fields of the image named after set, as NAME=.
function __dimmwand_spd_fields
    set -l image (__dimmwand_spd_image)
    test -n "$image"; or return
    set -l program (commandline -opc)[1]
    $program fields $image 2>/dev/null | string replace -r ' = .*' '='
end

# The XMP and EXPO profiles of the image named after promote, as promote names them.
function __dimmwand_spd_profiles
    set -l image (__dimmwand_spd_image)
    test -n "$image"; or return
    set -l program (commandline -opc)[1]
    $program info --json $image 2>/dev/null | string match -ar '"(?:xmp|expo|sections)":|"number":[0-9]+' |
        awk -F: '/"sections"/ { exit } /"xmp"/ { family = "xmp"; next } /"expo"/ { family = "expo"; next }
                 family != "" { print family $2 }'
end

complete -c dimmwand-spd -n "__fish_seen_subcommand_from $names" -s h -l help -d '显示帮助'
# After the image, the DDR generation; images elsewhere, and no files where none go.
complete -c dimmwand-spd -n "__dimmwand_spd_at 1 check fix info" -f -a '3 4 5' -d 'DDR 类型'
complete -c dimmwand-spd -n "__dimmwand_spd_at 2 check fix info diff; or __dimmwand_spd_at 1 convert fields rebin promote; or __fish_seen_subcommand_from host" -f
complete -c dimmwand-spd -n "__fish_seen_subcommand_from set; and test (__dimmwand_spd_positionals) -ge 1" -f -a '(__dimmwand_spd_fields)'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from check" -l strict -d '再检查各项是否自洽'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from fix set rebin promote" -l force -d '替换已存在的输出文件'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from convert" -l any-size -d '不合任何数据区大小时也保存'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from rebin" -l speed -x -a '800 1066 1333 1600 1866 2133 2400 2666 2933 3200 3600 4000 4400 4800 5200 5600 6000 6400' -d '新的最高速率'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from promote" -l profile -x -a '(__dimmwand_spd_profiles)' -d '配置'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from promote" -l accept-voltage -d '高于 JEDEC 电压时仍然提升'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from check fix info" -s t -x -a 'spd reg' -d '映像种类'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from check info diff host fields set rebin promote" -l json -d '输出一个 JSON 文档'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from info" -l all -d '完整解读：每个字段，按节列出'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from fix convert set rebin promote" -s o -r -F -d '输出文件'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from host" -l sysfs -x -a '(__fish_complete_directories)' -d 'sysfs 的位置'
complete -c dimmwand-spd -n "__fish_seen_subcommand_from host" -l save -x -a '(__fish_complete_directories)' -d '存放映像的文件夹'
