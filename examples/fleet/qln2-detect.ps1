# Detection script for an Intune Win32 app or a Configuration Manager
# deployment type (detection method: a custom script). Both take exit code 0
# with output as installed, and exit code 0 without output as not installed.
# Installed: QLN2STAT.EXE, in the folder that the MSI package installs, finds
# the package's version in every file of the service and the service in
# place; a restart owed does not change that. For the x86 package on 64-bit
# Windows, use ${env:ProgramFiles(x86)}.
$program = Join-Path $env:ProgramFiles 'Orvane Quillon 2\QLN2STAT.EXE'
if (-not (Test-Path -LiteralPath $program)) { exit 0 }
& $program | Out-Null
switch ($LASTEXITCODE) {
    0 { 'Installed'; exit 0 }
    1 { 'Installed; the server owes a restart'; exit 0 }
    3 { exit 0 }
    # 2: no report; its standard error says why. The tools count the
    # detection as failed.
    default { exit 1 }
}
