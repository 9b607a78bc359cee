# Checks the Authenticode signature of every program, library and MSI package
# below a folder (the package as copied to a server, or an MSI package's
# folder) before anything of it runs: each must be signed, the signature
# valid on this server, and the signing certificate's thumbprint the one
# published with the release. Stops with an error otherwise.
param([Parameter(Mandatory)] [string]$Path, [Parameter(Mandatory)] [string]$Thumbprint)
$ErrorActionPreference = 'Stop'
$files = @(Get-ChildItem -LiteralPath $Path -Recurse -File | Where-Object Extension -In '.exe', '.dll', '.msi')
if ($files.Count -eq 0) { throw "$Path holds no program, library or MSI package" }
foreach ($file in $files) {
    $signature = Get-AuthenticodeSignature -LiteralPath $file.FullName
    if ($signature.Status -ne 'Valid' -or $signature.SignerCertificate.Thumbprint -ne $Thumbprint) {
        throw "$($file.FullName) is not signed by the release's certificate ($($signature.Status), $($signature.SignerCertificate.Thumbprint))"
    }
}
if (Get-Variable -Name Ansible -ErrorAction SilentlyContinue) { $Ansible.Changed = $false }
