# Inside Windows Sandbox (sandbox-logon.cmd): downloads Python's installer to -Installer from
# -Url unless the kit brought one, and refuses an installer that the Python Software Foundation
# did not sign. Exit code 0 when the installer may run.
param([string]$Installer, [string]$Url)
if (-not (Test-Path -LiteralPath $Installer)) {
  # TLS 1.2 by number: .NET before 4.5 has no name for it.
  [Net.ServicePointManager]::SecurityProtocol = 3072
  (New-Object Net.WebClient).DownloadFile($Url, $Installer)
}
$signature = Get-AuthenticodeSignature $Installer
$signer = if ($signature.SignerCertificate) { $signature.SignerCertificate.Subject } else { 'nobody' }
if ($signature.Status -ne 'Valid' -or $signer -notmatch 'O="?Python Software Foundation') {
  Write-Output "$Installer is not signed by the Python Software Foundation (signature $($signature.Status), signer $signer)"
  exit 1
}
Write-Output "$Installer is signed by $signer"
exit 0
