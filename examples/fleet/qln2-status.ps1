# One table of the fleet from QLN2STAT.EXE /JSON on each server of
# servers.txt (one name a line), through PowerShell remoting. The program
# changes nothing; it runs from the folder that the MSI package installs.
$program = 'C:\Program Files\Orvane Quillon 2\QLN2STAT.EXE'
Invoke-Command -ComputerName (Get-Content servers.txt) -ArgumentList $program -ScriptBlock {
    param($Program)
    if (-not (Test-Path -LiteralPath $Program)) { return [pscustomobject]@{ ExitCode = 'no QLN2STAT.EXE' } }
    $json = & $Program /JSON
    [pscustomobject]@{ ExitCode = $LASTEXITCODE; Json = $json -join '' }
} | ForEach-Object {
    # 0 current; 1 current, a restart owed; 3 not installed, older or
    # incomplete; 2 no report.
    $report = if ($_.ExitCode -in 0, 1, 3) { $_.Json | ConvertFrom-Json }
    $versions = @($report.installed.PSObject.Properties.Value | Select-Object -Unique)
    [pscustomobject]@{
        Server       = $_.PSComputerName
        AdapterRoute = $report.adapter.route
        Installed    = if ($versions.Count -ne 1) { 'mixed' } elseif ($versions[0]) { $versions[0] } else { 'none' }
        Current      = $report.current
        RestartOwed  = $report.restartOwed
        ExitCode     = $_.ExitCode
    }
} | Sort-Object Server | Format-Table -AutoSize
