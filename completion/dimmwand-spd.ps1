# PowerShell completion for dimmwand-spd: subcommands, their options, the values of DEVICE and
# -t, file names where images go, set's field names (from `dimmwand-spd fields` of the image) and
# promote's profiles (the image's own, from `dimmwand-spd info --json`). A new subcommand is one
# entry in each of the two tables.
# Load it from the profile (notepad $PROFILE):  . "C:\dimmwand\dimmwand-spd.ps1"

Register-ArgumentCompleter -Native -CommandName 'dimmwand-spd', 'dimmwand-spd.exe' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    # Each subcommand: what the help says of it, its options, and its positional words in order
    # ('file', 'device'; 'files' and 'fields' repeat).
    $commands = [ordered]@{
        'check' = @('检查 JEDEC、XMP 3.0 与 EXPO 校验和', @('-t', '--strict', '--json'), @('file', 'device'))
        'fix' = @('重算所有校验和，另存为新文件', @('-t', '-o', '--force'), @('file', 'device'))
        'info' = @('解读映像：类型、容量、速率、时序、制造商等', @('-t', '--all', '--json'), @('file', 'device'))
        'diff' = @('比较两个映像，按字段列出不同的字节', @('--json'), @('file', 'file'))
        'convert' = @('把文本转储转成原始映像', @('-o', '--any-size'), @('file'))
        'host' = @('列出本机已安装的内存条，可逐条保存', @('--sysfs', '--save', '--json'), @())
        'kit' = @('几条内存条能否一起使用，共同的速率与时序', @(), @('files'))
        'fields' = @('列出可修改的字段与当前值', @('--json'), @('file'))
        'set' = @('修改字段，另存为新文件', @('-o', '--force', '--json'), @('file', 'fields'))
        'rebin' = @('降低最高速率，另存为新文件', @('--speed', '-o', '--force', '--json'), @('file'))
        'promote' = @('把 XMP/EXPO 配置设为 JEDEC 基本设置，另存为新文件', @('--profile', '--accept-voltage', '-o', '--force', '--json'), @('file'))
    }
    # The options that take a value, and what the value is.
    $values = @{ '-t' = 'mode'; '-o' = 'file'; '--sysfs' = 'file'; '--save' = 'file'; '--speed' = 'speed'; '--profile' = 'profile' }

    # The words as the program will receive them: a quoted one without its quotes.
    $words = @($commandAst.CommandElements | Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object {
            if ($_ -is [System.Management.Automation.Language.StringConstantExpressionAst] -or
                $_ -is [System.Management.Automation.Language.ExpandableStringExpressionAst]) {
                $_.Value
            } else { $_.Extent.Text }
        })
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
    $positional = @()
    for ($i = 2; $i -lt $words.Count; $i++) {
        if ($values.ContainsKey($words[$i])) { $i++ }
        elseif ($words[$i] -notlike '-?*') { $positional += $words[$i] }
    }
    $previous = $words[-1]
    if ($values.ContainsKey($previous)) {
        if ($values[$previous] -eq 'mode') { return & $result @('spd', 'reg') 'ParameterValue' }
        if ($values[$previous] -eq 'speed') { return & $result @('1066', '1333', '1600', '1866', '2133', '2400', '2666', '2933', '3200', '3600', '4800', '5200', '5600', '6000', '6400') 'ParameterValue' }
        if ($values[$previous] -eq 'profile') {
            # The image's own profiles, as promote names them.
            if ($positional.Count -eq 0) { return }
            $info = & $words[0] info --json $positional[0] 2>$null | ConvertFrom-Json -ErrorAction SilentlyContinue
            $profiles = @(foreach ($family in 'xmp', 'expo') { foreach ($p in @($info.$family.profiles)) { if ($p) { "$family$($p.number)" } } })
            return & $result $profiles 'ParameterValue'
        }
        return & $files
    }
    if ($wordToComplete -like '-*') { return & $result (@($commands[$sub][1]) + @('-h', '--help')) 'ParameterName' }

    $given = $positional.Count
    $expected = @($commands[$sub][2])
    $kind = if ($given -lt $expected.Count) { $expected[$given] } elseif ($expected[-1] -in @('files', 'fields')) { $expected[-1] } else { '' }
    if ($kind -eq 'fields') {
        $keys = & $words[0] fields $positional[0] 2>$null | ForEach-Object { ($_ -split ' = ')[0] + '=' }
        return & $result @($keys) 'ParameterValue'
    }
    if ($kind -eq 'device') { return & $result @('3', '4', '5') 'ParameterValue' }
    if ($kind -in @('file', 'files')) { return & $files }
}
