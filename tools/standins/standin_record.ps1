# What the PowerShell stand-in records about its start, done by real Windows PowerShell: test
# scripts put this in front of their own lines so that a test reads the same record from either.
# UTF-8 lines "key=value" into the file VAQ_STANDIN_RECORD names, when it names one.
if ($env:VAQ_STANDIN_RECORD) {
  Add-Type -Namespace VaqRecord -Name Native -MemberDefinition @'
[StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)]
public struct StartupInfo {
  public int cb; public string reserved; public string desktop; public string title;
  public int x, y, xSize, ySize, xCountChars, yCountChars, fillAttribute, flags;
  public short showWindow, reserved2; public System.IntPtr reserved3, stdInput, stdOutput, stdError;
}
[DllImport("kernel32.dll", CharSet = CharSet.Unicode)]
public static extern void GetStartupInfoW(ref StartupInfo info);
'@
  $vaqStartup = New-Object VaqRecord.Native+StartupInfo
  $vaqStartup.cb = [Runtime.InteropServices.Marshal]::SizeOf($vaqStartup)
  [VaqRecord.Native]::GetStartupInfoW([ref]$vaqStartup)
  $vaqDirectory = [Environment]::CurrentDirectory
  $vaqScript = [IO.File]::ReadAllBytes($MyInvocation.MyCommand.Path)
  $vaqScript = $vaqScript[0..([Math]::Min($vaqScript.Length, 4096) - 1)]
  $vaqRecord = "commandline=$([Environment]::CommandLine)`n" +
    "directory=$vaqDirectory`n" +
    "startflags=$($vaqStartup.flags)`n" +
    "showwindow=$($vaqStartup.showWindow)`n" +
    "sddl=$([IO.Directory]::GetAccessControl($vaqDirectory).GetSecurityDescriptorSddlForm('Access'))`n" +
    "script=$(($vaqScript | ForEach-Object { $_.ToString('X2') }) -join '')`n" +
    "bitness=$([IntPtr]::Size * 8)`n"
  [IO.File]::WriteAllText($env:VAQ_STANDIN_RECORD, $vaqRecord, (New-Object Text.UTF8Encoding $false))
}
