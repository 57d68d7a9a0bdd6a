# PowerShell completion for dimmwand: subcommands and their aliases, options, the values of
# DEVICE and -t, files after -o, -i and --backup, and the ports present (from `dimmwand scan`).
# Load it from the profile (notepad $PROFILE):  . "C:\dimmwand\dimmwand.ps1"

Register-ArgumentCompleter -Native -CommandName 'dimmwand', 'dimmwand.exe' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    $commands = [ordered]@{
        'scan' = '搜索可用串口'; 'read' = '读取数据，-o 保存文件，缺省打印十六进制'; 'ReadByte' = '读取单个字节'
        'write' = '写入文件数据到器件'; 'WriteByte' = '写入单个字节'; 'write-protect' = '设置写保护码'; 'help' = '显示帮助'
    }
    $aliases = @{ 'read-byte' = 'ReadByte'; 'readbyte' = 'ReadByte'; 'write-byte' = 'WriteByte'; 'writebyte' = 'WriteByte' }
    $options = @{
        'scan' = @('-l', '--long', '-h', '--help')
        'read' = @('-t', '-o', '--verify', '-h', '--help')
        'write' = @('-t', '-i', '--verify', '--changed', '--backup', '--check', '--protect', '--force', '-h', '--help')
        'ReadByte' = @('-h', '--help'); 'WriteByte' = @('--verify', '-h', '--help'); 'write-protect' = @('-h', '--help')
    }

    # The words before the one being completed.
    $words = @($commandAst.CommandElements | Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object { $_.Extent.Text })
    $result = {
        param($values, $type)
        $values | Where-Object { $_ -like "$wordToComplete*" } |
            ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, $type, $_) }
    }
    $files = { Get-ChildItem -Name -Path "$wordToComplete*" -ErrorAction SilentlyContinue | ForEach-Object {
            [System.Management.Automation.CompletionResult]::new($_, $_, 'ProviderItem', $_) } }

    if ($words.Count -le 1) {
        if ($wordToComplete -like '-*') { return & $result @('-h', '--help', '-V', '--version') 'ParameterName' }
        return $commands.Keys | Where-Object { $_ -like "$wordToComplete*" } |
            ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, 'Command', $commands[$_]) }
    }
    $sub = $words[1]
    if ($aliases.ContainsKey($sub)) { $sub = $aliases[$sub] }
    $previous = $words[-1]
    if ($previous -eq '-t') { return & $result @('spd', 'reg') 'ParameterValue' }
    if ($previous -in @('-o', '-i', '--backup')) { return & $files }
    if ($sub -eq 'help') { return & $result @($commands.Keys | Where-Object { $_ -ne 'help' }) 'ParameterValue' }
    if ($wordToComplete -like '-*') { return & $result $options[$sub] 'ParameterName' }
    if ($sub -eq 'scan') { return }

    # Positional words so far: the port, then the generation.
    $positional = 0
    for ($i = 2; $i -lt $words.Count; $i++) {
        if ($words[$i] -in @('-t', '-o', '-i', '--backup')) { $i++ }
        elseif ($words[$i] -notlike '-*') { $positional++ }
    }
    if ($positional -eq 0) {
        $ports = @(& $commandAst.CommandElements[0].Extent.Text scan 2>$null | Where-Object { $_ -notlike '未找到*' })
        return & $result $ports 'ParameterValue'
    }
    if ($positional -eq 1) { return & $result @('3', '4', '5') 'ParameterValue' }
}
