@echo off
rem Runs the kit in Windows Sandbox: the kit mapped read-only, the results in a writable folder
rem beside it, the run started at logon with --disposable (the Sandbox is thrown away).
rem   sandbox.cmd [results folder]      (default: vaq-kit-results beside the kit)
setlocal
set "KIT=%~dp0"
set "KIT=%KIT:~0,-1%"
set "RESULTS=%~1"
if not defined RESULTS set "RESULTS=%KIT%\..\vaq-kit-results"
if not exist "%RESULTS%" mkdir "%RESULTS%"
for %%R in ("%RESULTS%") do set "RESULTS=%%~fR"
set "WSB=%TEMP%\vaq-kit.wsb"
> "%WSB%" (
  echo ^<Configuration^>
  echo   ^<Networking^>Enable^</Networking^>
  echo   ^<MappedFolders^>
  echo     ^<MappedFolder^>^<HostFolder^>%KIT%^</HostFolder^>^<SandboxFolder^>C:\kit^</SandboxFolder^>^<ReadOnly^>true^</ReadOnly^>^</MappedFolder^>
  echo     ^<MappedFolder^>^<HostFolder^>%RESULTS%^</HostFolder^>^<SandboxFolder^>C:\results^</SandboxFolder^>^<ReadOnly^>false^</ReadOnly^>^</MappedFolder^>
  echo   ^</MappedFolders^>
  echo   ^<LogonCommand^>^<Command^>C:\kit\sandbox-logon.cmd^</Command^>^</LogonCommand^>
  echo ^</Configuration^>
)
echo Starting Windows Sandbox with %WSB%; the results appear in %RESULTS%
start "" "%WSB%"
