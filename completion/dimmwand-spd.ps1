# PowerShell completion for dimmwand-spd: subcommands, their options, the values of DEVICE and
# -t, and file names where images go. A new subcommand is one entry in each of the two tables.
# Load it from the profile (notepad $PROFILE):  . "C:\dimmwand\dimmwand-spd.ps1"

Register-ArgumentCompleter -Native -CommandName 'dimmwand-spd', 'dimmwand-spd.exe' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    # Each subcommand: what the help says of it, its options, and its positional words in order
    # ('file', 'device'; 'files' repeats).
    $commands = [ordered]@{
        'check' = @('检查 JEDEC、XMP 3.0 与 EXPO 校验和', @('-t', '--json'), @('file', 'device'))
        'fix' = @('重算所有校验和，另存为新文件', @('-t', '-o'), @('file', 'device'))
        'info' = @('解读映像：类型、容量、速率、时序、制造商等', @('-t', '--all', '--json'), @('file', 'device'))
        'diff' = @('比较两个映像，按字段列出不同的字节', @('--json'), @('file', 'file'))
        'convert' = @('把文本转储转成原始映像', @('-o'), @('file'))
        'host' = @('列出本机已安装的内存条，可逐条保存', @('--sysfs', '--save', '--json'), @())
        'kit' = @('几条内存条能否一起使用，共同的速率与时序', @(), @('files'))
    }
    # The options that take a value, and what the value is.
    $values = @{ '-t' = 'mode'; '-o' = 'file'; '--sysfs' = 'file'; '--save' = 'file' }

    $words = @($commandAst.CommandElements | Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object { $_.Extent.Text })
    $result = {
        param($candidates, $type)
        $candidates | Where-Object { $_ -like "$wordToComplete*" } |
            ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, $type, $_) }
    }
    $files = { Get-ChildItem -Name -Path "$wordToComplete*" -ErrorAction SilentlyContinue | ForEach-Object {
            [System.Management.Automation.CompletionResult]::new($_, $_, 'ProviderItem', $_) } }

    if ($words.Count -le 1) {
        if ($wordToComplete -like '-*') { return & $result @('-h', '--help', '-V', '--version') 'ParameterName' }
        $names = @($commands.Keys) + @('help')
        return $names | Where-Object { $_ -like "$wordToComplete*" } | ForEach-Object {
            $about = if ($commands.Contains($_)) { $commands[$_][0] } else { '显示帮助' }
            [System.Management.Automation.CompletionResult]::new($_, $_, 'Command', $about) }
    }
    $sub = $words[1]
    if ($sub -eq 'help') { return & $result @($commands.Keys) 'ParameterValue' }
    if (-not $commands.Contains($sub)) { return }
    $previous = $words[-1]
    if ($values.ContainsKey($previous)) {
        if ($values[$previous] -eq 'mode') { return & $result @('spd', 'reg') 'ParameterValue' }
        return & $files
    }
    if ($wordToComplete -like '-*') { return & $result (@($commands[$sub][1]) + @('-h', '--help')) 'ParameterName' }

    $given = 0
    for ($i = 2; $i -lt $words.Count; $i++) {
        if ($values.ContainsKey($words[$i])) { $i++ }
        elseif ($words[$i] -notlike '-?*') { $given++ }
    }
    $expected = @($commands[$sub][2])
    $kind = if ($given -lt $expected.Count) { $expected[$given] } elseif ($expected -contains 'files') { 'files' } else { '' }
    if ($kind -eq 'device') { return & $result @('3', '4', '5') 'ParameterValue' }
    if ($kind -in @('file', 'files')) { return & $files }
}
