# Writes the Windows Sandbox configuration for sandbox.cmd, which passes VAQ_KIT, VAQ_RESULTS
# and VAQ_WSB: the paths XML-escaped, the file in UTF-8 whatever the console's code page.
$kit = [IO.Path]::GetFullPath($env:VAQ_KIT)
$results = [IO.Path]::GetFullPath($env:VAQ_RESULTS)
[void][IO.Directory]::CreateDirectory($results)
function Folder($hostFolder, $sandboxFolder, $readOnly) {
  "    <MappedFolder><HostFolder>$([Security.SecurityElement]::Escape($hostFolder))</HostFolder>" +
    "<SandboxFolder>$sandboxFolder</SandboxFolder><ReadOnly>$readOnly</ReadOnly></MappedFolder>"
}
$configuration = @(
  '<Configuration>',
  '  <Networking>Enable</Networking>',
  '  <MappedFolders>',
  (Folder $kit 'C:\kit' 'true'),
  (Folder $results 'C:\results' 'false'),
  '  </MappedFolders>',
  '  <LogonCommand><Command>C:\kit\sandbox-logon.cmd</Command></LogonCommand>',
  '</Configuration>') -join "`r`n"
[IO.File]::WriteAllText($env:VAQ_WSB, $configuration, (New-Object Text.UTF8Encoding $false))
Write-Output "Starting Windows Sandbox with $($env:VAQ_WSB); the results appear in $results"
