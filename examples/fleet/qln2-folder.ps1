# Makes the folder that the package is copied to, open to SYSTEM and the
# Administrators only, or checks that an existing one is such a folder; stops
# with an error otherwise. Any user may make a folder first where SETUP.EXE
# is to run from, and whoever makes it keeps full control of it: do not copy
# the package to a folder that this script did not accept. Windows
# PowerShell 5.1, as an administrator or the system.
param([Parameter(Mandatory)] [string]$Path)
$ErrorActionPreference = 'Stop'
# Owner Administrators; full control for SYSTEM (SY) and the Administrators
# (BA), inherited by every subfolder and file; nothing inherited from the
# folders above (P: the DACL is protected).
$protected = New-Object System.Security.AccessControl.DirectorySecurity
$protected.SetSecurityDescriptorSddlForm('O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)')
$made = -not (Test-Path -LiteralPath $Path)
# Made with these permissions, not given them afterwards: there is no moment
# in which anyone else may open it. An existing folder is left as it is.
if ($made) { (New-Object System.IO.DirectoryInfo $Path).Create($protected) }

# Whoever made the folder, it must be one that no other account can change:
# no link to elsewhere, owned by SYSTEM or the Administrators (no other user
# can give a folder that owner), every entry an allowance for one of them,
# nothing inherited.
$trusted = 'S-1-5-18', 'S-1-5-32-544'
$sid = [System.Security.Principal.SecurityIdentifier]
$folder = Get-Item -LiteralPath $Path -Force
$acl = Get-Acl -LiteralPath $Path
$others = @($acl.GetAccessRules($true, $true, $sid) |
    Where-Object { $_.AccessControlType -ne 'Allow' -or $_.IdentityReference.Value -notin $trusted })
if (-not $folder.PSIsContainer -or ($folder.Attributes -band [IO.FileAttributes]::ReparsePoint) -or
    $acl.GetOwner($sid).Value -notin $trusted -or -not $acl.AreAccessRulesProtected -or $others.Count) {
    throw "$Path is not a folder that only SYSTEM and the Administrators control: $($acl.Sddl). Remove it, or choose another."
}
if (Get-Variable -Name Ansible -ErrorAction SilentlyContinue) { $Ansible.Changed = $made }
