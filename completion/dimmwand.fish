# fish completion for dimmwand: subcommands and their aliases, options, the values of DEVICE and
# -t, files after -o, -i and --backup, and the ports present (from `dimmwand scan`).

set -l dimmwand_commands scan read ReadByte read-byte readbyte write WriteByte write-byte writebyte write-protect help

function __dimmwand_ports
    command dimmwand scan 2>/dev/null | string match -v '未找到*'
end

# How many positional words follow the subcommand (values of -t, -o, -i and --backup excluded).
function __dimmwand_positionals
    set -l words (commandline -opc)
    set -l count 0
    set -l skip 0
    for w in $words[3..-1]
        if test $skip -eq 1
            set skip 0
        else if contains -- $w -t -o -i --backup
            set skip 1
        else if not string match -q -- '-*' $w
            set count (math $count + 1)
        end
    end
    echo $count
end

function __dimmwand_expects
    set -l words (commandline -opc)
    test (count $words) -ge 2; or return 1
    contains -- $words[2] $argv[2..-1]; or return 1
    test (__dimmwand_positionals) -eq $argv[1]
end

complete -c dimmwand -f
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -s h -l help -d '显示帮助'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -s V -l version -d '显示版本'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a scan -d '搜索可用串口'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a read -d '读取数据，-o 保存文件，缺省打印十六进制'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a ReadByte -d '读取单个字节'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a write -d '写入文件数据到器件'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a WriteByte -d '写入单个字节'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a write-protect -d '设置写保护码'
complete -c dimmwand -n "not __fish_seen_subcommand_from $dimmwand_commands" -a help -d '显示帮助'

set -l port_commands read ReadByte read-byte readbyte write WriteByte write-byte writebyte write-protect
complete -c dimmwand -n "__dimmwand_expects 0 $port_commands" -a '(__dimmwand_ports)' -d '串口'
complete -c dimmwand -n "__dimmwand_expects 1 $port_commands" -a '3 4 5' -d 'DDR 类型'
complete -c dimmwand -n "__fish_seen_subcommand_from $dimmwand_commands" -s h -l help -d '显示帮助'
complete -c dimmwand -n "__fish_seen_subcommand_from scan" -s l -l long -d '列出描述、USB 芯片类型、VID:PID、序列号与制造商'
complete -c dimmwand -n "__fish_seen_subcommand_from read write" -s t -x -a 'spd reg' -d '数据模式'
complete -c dimmwand -n "__fish_seen_subcommand_from read" -s o -r -F -d '输出二进制文件'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -s i -r -F -d '输入二进制文件'
complete -c dimmwand -n "__fish_seen_subcommand_from read" -l verify -d '读取两次并比对'
complete -c dimmwand -n "__fish_seen_subcommand_from write WriteByte write-byte writebyte" -l verify -d '写入后读回校验'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -l changed -d '只写入不同的字节'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -l backup -r -F -d '写入前先备份到文件'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -l check -d '写入前检查映像是否适合模块'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -l protect -d '与 --check 同用：允许设置块写保护位'
complete -c dimmwand -n "__fish_seen_subcommand_from write" -l force -d '照样写入另一种内存类型的 SPD 映像'
complete -c dimmwand -n "__fish_seen_subcommand_from help" -a 'scan read ReadByte write WriteByte write-protect'
