@echo off
rem Runs the kit in Windows Sandbox: the kit mapped read-only, the results in a writable folder
rem beside it, the run started at logon with --disposable (the Sandbox is thrown away).
rem   sandbox.cmd [results folder]      (default: vaq-kit-results beside the kit)
rem The paths go to PowerShell through the environment: cmd would cut them at a ")" or "&".
setlocal
set "VAQ_KIT=%~dp0."
set "VAQ_RESULTS=%~1"
if not defined VAQ_RESULTS set "VAQ_RESULTS=%~dp0..\vaq-kit-results"
set "VAQ_WSB=%TEMP%\vaq-kit.wsb"
powershell -NoProfile -ExecutionPolicy Bypass -File "%~dp0sandbox-config.ps1"
if errorlevel 1 exit /b 1
start "" "%VAQ_WSB%"
