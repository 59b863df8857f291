"""Finds PowerShell that Windows PowerShell 2.0 (a stock Windows 7 SP1) cannot run, in text that
no PowerShell here can try: a list of known constructs of 3.0 and later, not a parser. Each entry
is (pattern, what it is, the version it came with)."""
import re

NEWER_THAN_2 = [
    (r"\b(Get|Set)-Acl\b[^\r\n;|]*\s-LiteralPath\b", "Get-Acl/Set-Acl -LiteralPath", "3.0"),
    (r"\bGet-ChildItem\b[^\r\n;|]*\s-(File|Directory)\b", "Get-ChildItem -File/-Directory", "3.0"),
    (r"\bGet-Content\b[^\r\n;|]*\s-Raw\b", "Get-Content -Raw", "3.0"),
    (r"\b(Set-Content|Add-Content|Out-File)\b[^\r\n;|]*\s-NoNewline\b", "-NoNewline on a file cmdlet", "5.0"),
    (r"\$PSScriptRoot\b", "$PSScriptRoot outside a module", "3.0"),
    (r"\$PSCommandPath\b", "$PSCommandPath", "3.0"),
    (r"\$PSItem\b", "$PSItem", "3.0"),
    (r"\$using:", "$using: scope", "3.0"),
    (r"\[(ordered|pscustomobject)\]", "[ordered] / [pscustomobject]", "3.0"),
    (r"\s-(not)?in\s", "-in / -notin", "3.0"),
    (r"\s-sh[lr]\s", "-shl / -shr", "3.0"),
    (r"\.(ForEach|Where)\(", ".ForEach() / .Where()", "4.0"),
    (r"::new\(", "::new()", "5.0"),
    (r"^\s*(class|enum)\s+\w+\s*(:\s*\w+\s*)?\{", "class / enum", "5.0"),
    (r"^\s*using\s+(namespace|module)\b", "using namespace / module", "5.0"),
    (r"^\s*workflow\s+\w", "workflow", "3.0"),
    (r"#requires\s+-version\s+[3-9]", "#requires -Version 3 or later", "3.0"),
    (r"\b(Invoke-WebRequest|Invoke-RestMethod|ConvertFrom-Json|ConvertTo-Json|Get-CimInstance|Invoke-CimMethod"
     r"|Unblock-File|Get-FileHash|Expand-Archive|Compress-Archive|New-TemporaryFile|Get-Clipboard|Set-Clipboard"
     r"|New-Guid|Format-Hex|Get-ItemPropertyValue|Write-Information)\b", "a cmdlet PowerShell 2.0 lacks", "3.0+"),
]
PATTERN = re.compile("|".join("(?P<c%d>%s)" % (i, p) for i, (p, _, _) in enumerate(NEWER_THAN_2)),
                     re.IGNORECASE | re.MULTILINE)


def newer_than_2(text):
    """[(what, version, the line it is on)] for each construct found."""
    found = []
    for match in PATTERN.finditer(text):
        _, what, version = NEWER_THAN_2[int(match.lastgroup[1:])]
        start = text.rfind("\n", 0, match.start()) + 1
        end = text.find("\n", match.end())
        found.append((what, version, text[start:end if end >= 0 else len(text)].strip()[:160]))
    return found


def program_text(data):
    """The text a program carries, as `strings` finds it: runs of printable ASCII, narrow or
    UTF-16, one per line."""
    printable = rb"[\t\r\n\x20-\x7e]"
    narrow = re.findall(printable + rb"{6,}", data)
    wide = re.findall(rb"(?:" + printable + rb"\x00){6,}", data)
    return "\n".join([run.decode("ascii") for run in narrow] + [run.decode("utf-16-le") for run in wide])
