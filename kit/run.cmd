@echo off
rem The kit's one command, from an elevated prompt:  run.cmd [--disposable] [--out DIR]
rem   run.cmd --cleanup    only takes away a development CA that an interrupted run left trusted
rem --disposable lets the tests that change the machine run (a Sandbox, a throwaway VM).
rem VAQ_KIT_PYTHON, when set, names the Python to use (a hosted runner pins one).
setlocal
rem An elevated prompt starts in the system folder; the kit works from its own.
cd /d "%~dp0"
rem fltmc answers only an elevated prompt, with or without the Server service that net session needs.
fltmc >nul 2>&1
if errorlevel 1 (
  echo run.cmd needs an elevated prompt: open Command Prompt with "Run as administrator".
  exit /b 2
)
set "PYTHON="
if defined VAQ_KIT_PYTHON call :try "%VAQ_KIT_PYTHON%"
if not defined PYTHON call :try py -3
if not defined PYTHON call :try python
if not defined PYTHON (
  echo Python 3.8 or later is needed for the development service: https://www.python.org/downloads/windows/
  exit /b 2
)
%PYTHON% "%~dp0runner\run_kit.py" %*
exit /b %errorlevel%

rem Takes the command as the Python when it is 3.8 or later.
:try
%* -c "import sys; sys.exit(0 if sys.version_info >= (3, 8) else 1)" >nul 2>&1
if not errorlevel 1 set "PYTHON=%*"
exit /b 0
