@echo off
rem Inside Windows Sandbox, at logon (sandbox.cmd): installs Python when the Sandbox has none,
rem from python-installer.exe beside the kit or else from python.org, then runs the kit.
setlocal
set "LOG=C:\results\sandbox-logon.log"
where py >nul 2>&1 && goto run
set "INSTALLER=C:\kit\python-installer.exe"
if not exist "%INSTALLER%" (
  set "INSTALLER=%TEMP%\python-installer.exe"
  powershell -NoProfile -Command "[Net.ServicePointManager]::SecurityProtocol='Tls12'; Invoke-WebRequest https://www.python.org/ftp/python/3.12.8/python-3.12.8-amd64.exe -OutFile $env:TEMP\python-installer.exe" >>"%LOG%" 2>&1
)
"%INSTALLER%" /quiet InstallAllUsers=1 PrependPath=1 Include_test=0 >>"%LOG%" 2>&1
set "PATH=%ProgramFiles%\Python312;%ProgramFiles%\Python312\Scripts;%PATH%"
:run
call C:\kit\run.cmd --disposable --out C:\results >>"%LOG%" 2>&1
echo done > C:\results\finished.txt
