# fish completion for dimmwand-emu: its options, image files and folders where they go, the
# generations of --only, and after -- the command it runs, completed as that command's own.

# True once -- stands before the word being completed.
function __dimmwand_emu_after_dashes
    contains -- -- (commandline -opc)
end

# The command after --, completed as if typed on its own.
function __dimmwand_emu_command
    set -l words (commandline -opc)
    set -l at (contains -i -- -- $words)
    set -l rest
    if test $at -lt (count $words)
        set rest (string escape -- $words[(math $at + 1)..-1])
    end
    complete -C (string join ' ' -- $rest (commandline -ct))
end

set -l before 'not __dimmwand_emu_after_dashes'
complete -c dimmwand-emu -n __dimmwand_emu_after_dashes -f -a '(__dimmwand_emu_command)'
complete -c dimmwand-emu -n $before -f
complete -c dimmwand-emu -n $before -s h -l help -d '显示帮助'
complete -c dimmwand-emu -n $before -s V -l version -d '显示版本'
complete -c dimmwand-emu -n $before -l spd3 -r -F -d '从 256 字节的原始映像载入 DDR3 SPD 区'
complete -c dimmwand-emu -n $before -l spd4 -r -F -d '从 512 字节的原始映像载入 DDR4 SPD 区'
complete -c dimmwand-emu -n $before -l spd5 -r -F -d '从 1024 字节的原始映像载入 DDR5 SPD 区'
complete -c dimmwand-emu -n $before -l reg5 -r -F -d '从 128 字节的原始映像载入 DDR5 REG 区'
complete -c dimmwand-emu -n $before -l save -d '退出时把从文件载入的数据区写回这些文件'
complete -c dimmwand-emu -n $before -l log -r -F -d '写帧日志'
complete -c dimmwand-emu -n $before -l export -x -a '(__fish_complete_directories)' -d '把四个缺省映像写到 DIR 后退出'
complete -c dimmwand-emu -n $before -l swap -r -F -d '第二条内存条的 SPD 映像，每收到一次 SIGUSR1 就与插槽里的互换'
complete -c dimmwand-emu -n $before -l write-cycle -x -d 'EEPROM 的写周期，毫秒'
complete -c dimmwand-emu -n $before -l min-write-gap -x -d '间隔更短的字节写入丢失（毫秒）'
complete -c dimmwand-emu -n $before -l silent -d '从不回答'
complete -c dimmwand-emu -n $before -l no-line-feed -d '回答末尾不带换行'
complete -c dimmwand-emu -n $before -l chunk -x -d '把回答分成每段 N 字节发送'
complete -c dimmwand-emu -n $before -l chunk-delay -x -d '段间停顿，毫秒'
complete -c dimmwand-emu -n $before -l short -x -d '整区回答少发最后 N 个字节'
complete -c dimmwand-emu -n $before -l separators -d '回答的字节之间加空格'
complete -c dimmwand-emu -n $before -l lower -d '使用小写十六进制数字'
complete -c dimmwand-emu -n $before -l stale -x -d '启动时和每次回答之后发送 TEXT'
complete -c dimmwand-emu -n $before -l hangup-after -x -d '第 N 帧到达时断线'
complete -c dimmwand-emu -n $before -l babble -x -d '收到一帧之后不停地发送 TEXT'
complete -c dimmwand-emu -n $before -l hangup-mid-answer -d '第一个回答发到一半时断线'
complete -c dimmwand-emu -n $before -l answer -x -d '用 TEXT 回答每个请求'
complete -c dimmwand-emu -n $before -l write-answer -x -d '单字节写入的文本回答'
complete -c dimmwand-emu -n $before -l protect-answer -x -d '写保护码以十六进制发送的文本'
complete -c dimmwand-emu -n $before -l only -x -a '3 4 5' -d '插槽里只有这一代的一条内存条'
complete -c dimmwand-emu -n $before -l protect-range -x -d 'DDR3/DDR4 SPD 上字节写入被忽略的地址'
complete -c dimmwand-emu -n $before -l protect-blocks -x -d 'DDR5：在 MR12/MR13 中置上这些块的位'
complete -c dimmwand-emu -n $before -l flaky -x -d '每第 N 次整区读取的回答里翻转一个随机位'
complete -c dimmwand-emu -n $before -l seed -x -d '翻转位的随机种子'
complete -c dimmwand-emu -n $before -l lose-writes -x -d '这些地址的字节写入帧在线路上丢失'
complete -c dimmwand-emu -n $before -l line-rate -d '按真实 115200 波特线路的速率发送回答'
complete -c dimmwand-emu -n $before -l read-time -x -d '读请求之后等待这么多毫秒再回答'
complete -c dimmwand-emu -n $before -l interrupt-after -x -d '第 N 帧到达时向命令发送 SIGINT'
