@echo off
rem Inside Windows Sandbox, at logon (sandbox.cmd): installs Python when the Sandbox has none,
rem from python-installer.exe beside the kit or else from python.org, once its signature is the
rem Python Software Foundation's; then runs the kit. finished.txt in the results says it passed,
rem failed.txt that it did not.
setlocal
set "RESULTS=C:\results"
set "LOG=%RESULTS%\sandbox-logon.log"
del "%RESULTS%\finished.txt" "%RESULTS%\failed.txt" >nul 2>&1
where py >nul 2>&1 && goto run
set "INSTALLER=C:\kit\python-installer.exe"
if not exist "%INSTALLER%" set "INSTALLER=%TEMP%\python-installer.exe"
powershell -NoProfile -ExecutionPolicy Bypass -File C:\kit\sandbox-python.ps1 -Installer "%INSTALLER%" ^
  -Url https://www.python.org/ftp/python/3.12.8/python-3.12.8-amd64.exe >>"%LOG%" 2>&1
if errorlevel 1 (
  echo no Python to run the kit with: see sandbox-logon.log > "%RESULTS%\failed.txt"
  exit /b 1
)
"%INSTALLER%" /quiet InstallAllUsers=1 PrependPath=1 Include_test=0 >>"%LOG%" 2>&1
set "PATH=%ProgramFiles%\Python312;%ProgramFiles%\Python312\Scripts;%PATH%"
:run
call C:\kit\run.cmd --disposable --out "%RESULTS%" >>"%LOG%" 2>&1
set "CODE=%errorlevel%"
if "%CODE%"=="0" (
  echo run.cmd passed > "%RESULTS%\finished.txt"
) else (
  echo run.cmd ended with exit code %CODE%: see summary.txt and sandbox-logon.log > "%RESULTS%\failed.txt"
)
