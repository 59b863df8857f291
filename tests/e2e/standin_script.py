"""Road scripts that the PowerShell stand-in (under Wine) and Windows PowerShell carry out alike.
The stand-in obeys the directive comments at the top (tools/standins/powershell_standin.cpp) and ignores
every other line; PowerShell skips the comments and runs the lines, which begin with the same
record of its start that the stand-in makes (tools/standins/standin_record.ps1)."""
import base64
import os

RECORD_PS1 = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "standins", "standin_record.ps1")


def standin_script(exit_code=0, error=None, sleep_ms=0, body=()):
    """The script's text. error: bytes for the installer's error file, which is written even when
    they are empty; sleep_ms: a pause before the exit; body: PowerShell lines to run first."""
    if not 0 <= exit_code < 2 ** 32:
        raise ValueError(f"exit code {exit_code} is not a 32-bit process exit code")
    directives = [f"# vaq-exit: {exit_code}"]
    lines = list(body)
    if error is not None:
        directives.append(f"# vaq-error-hex: {error.hex().upper()}")
        # The installer names the file in the script's first line.
        lines.append("[IO.File]::WriteAllBytes($vaqSetupErrorPath, [Convert]::FromBase64String('"
                     + base64.b64encode(error).decode("ascii") + "'))")
    if sleep_ms:
        directives.append(f"# vaq-sleep-ms: {sleep_ms}")
        lines.append(f"Start-Sleep -Milliseconds {sleep_ms}")
    # PowerShell's exit takes a signed 32-bit number; the process's exit code is its bits.
    lines.append(f"exit {exit_code - 2 ** 32 if exit_code >= 2 ** 31 else exit_code}")
    with open(RECORD_PS1, encoding="utf-8") as f:
        record = f.read().rstrip("\r\n")
    return "".join(line + "\r\n" for line in directives + [record] + lines)
