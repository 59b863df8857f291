@echo off
rem The kit's one command, from an elevated prompt:  run.cmd [--disposable] [--out DIR]
rem --disposable lets the tests that change the machine run (a Sandbox, a throwaway VM).
setlocal
net session >nul 2>&1
if errorlevel 1 (
  echo run.cmd needs an elevated prompt: open Command Prompt with "Run as administrator".
  exit /b 2
)
set "PYTHON="
where py >nul 2>&1 && set "PYTHON=py -3"
if not defined PYTHON where python >nul 2>&1 && set "PYTHON=python"
if not defined PYTHON (
  echo Python 3.8 or later is needed for the development service: https://www.python.org/downloads/windows/
  exit /b 2
)
%PYTHON% -c "import sys; sys.exit(0 if sys.version_info >= (3, 8) else 1)" >nul 2>&1
if errorlevel 1 (
  echo Python 3.8 or later is needed for the development service; "%PYTHON%" is not one.
  exit /b 2
)
%PYTHON% "%~dp0runner\run_kit.py" %*
exit /b %errorlevel%
