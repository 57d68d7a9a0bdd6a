# PowerShell completion for dimmwand-emu: its options, image files and folders where they go, and
# the generations of --only. (The emulator runs on POSIX systems; this is for PowerShell there.)
# Load it from the profile:  . /usr/share/dimmwand/dimmwand-emu.ps1

Register-ArgumentCompleter -Native -CommandName 'dimmwand-emu' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    $flags = @('-h', '--help', '-V', '--version', '--save', '--silent', '--no-line-feed', '--separators', '--lower',
        '--hangup-mid-answer', '--line-rate')
    # The options that take a value, and what the value is.
    $values = [ordered]@{
        '--spd3' = 'file'; '--spd4' = 'file'; '--spd5' = 'file'; '--reg5' = 'file'; '--log' = 'file'
        '--export' = 'folder'; '--swap' = 'file'; '--write-cycle' = 'number'; '--min-write-gap' = 'number'; '--chunk' = 'number'
        '--chunk-delay' = 'number'; '--short' = 'number'; '--stale' = 'text'; '--hangup-after' = 'number'; '--babble' = 'text'
        '--answer' = 'text'; '--write-answer' = 'text'; '--protect-answer' = 'text'; '--only' = 'generation'
        '--protect-range' = 'text'; '--protect-blocks' = 'text'; '--flaky' = 'number'; '--seed' = 'number'
        '--lose-writes' = 'text'; '--read-time' = 'number'; '--interrupt-after' = 'number'
    }

    $words = @($commandAst.CommandElements | Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object { $_.Extent.Text })
    $result = {
        param($candidates, $type)
        $candidates | Where-Object { $_ -like "$wordToComplete*" } |
            ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, $type, $_) }
    }
    # After --, the words are the command's own.
    if ($words -contains '--') { return }
    $previous = $words[-1]
    if ($values.Contains($previous)) {
        switch ($values[$previous]) {
            'generation' { return & $result @('3', '4', '5') 'ParameterValue' }
            'file' { return Get-ChildItem -Name -Path "$wordToComplete*" -ErrorAction SilentlyContinue | ForEach-Object {
                    [System.Management.Automation.CompletionResult]::new($_, $_, 'ProviderItem', $_) } }
            'folder' { return Get-ChildItem -Name -Directory -Path "$wordToComplete*" -ErrorAction SilentlyContinue |
                    ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, 'ProviderContainer', $_) } }
            default { return }
        }
    }
    return & $result (@($flags) + @($values.Keys) + @('--')) 'ParameterName'
}
