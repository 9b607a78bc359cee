# Checks a downloaded release before anything of it is unpacked or run:
# SHA256SUMS.p7s must be a valid signature of SHA256SUMS by the certificate
# whose thumbprint is published with the release, and each archive and MSI
# package that SHA256SUMS lists and that lies in the folder must have its
# checksum. Stops with an error otherwise.
#   qln2-check-release.ps1 -Thumbprint THUMBPRINT [-Path FOLDER]
param([Parameter(Mandatory)] [string]$Thumbprint, [string]$Path = '.')
$ErrorActionPreference = 'Stop'
Add-Type -AssemblyName System.Security
$Path = (Resolve-Path -LiteralPath $Path).ProviderPath
$sums = Join-Path $Path 'SHA256SUMS'
$content = [System.Security.Cryptography.Pkcs.ContentInfo]::new([IO.File]::ReadAllBytes($sums))
$cms = [System.Security.Cryptography.Pkcs.SignedCms]::new($content, $true)
$cms.Decode([IO.File]::ReadAllBytes("$sums.p7s"))
# The signature alone: the certificate is trusted by its published thumbprint.
$cms.CheckSignature($true)
$signer = $cms.SignerInfos[0].Certificate.Thumbprint
if ($cms.SignerInfos.Count -ne 1 -or $signer -ne $Thumbprint) {
    throw "SHA256SUMS is signed by the certificate $signer, not by the release's"
}
foreach ($line in Get-Content -LiteralPath $sums) {
    $hash, $name = $line -split '  ', 2
    $file = Join-Path $Path $name
    if (-not (Test-Path -LiteralPath $file)) { continue }
    if ((Get-FileHash -LiteralPath $file -Algorithm SHA256).Hash -ne $hash) {
        throw "$name does not match SHA256SUMS"
    }
    "$name matches SHA256SUMS"
}
