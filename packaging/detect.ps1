# Detection rule of the Orvane tool for Intune (custom detection script) and
# Configuration Manager (script detection method), by the tool's /detect,
# which loads no user's hive and waits for no other run: writes "Installed"
# and ends with 0 when this version's every-user settings are in place as
# its last /set /allusers recorded them (also when that run left some
# users' lists as they were); writes nothing and ends with 0 when they are
# not, or the tool is missing; ends with the tool's own status when it
# cannot tell. ASCII only, so that its encoding matters to neither.
#
# The same folder for a 32-bit and a 64-bit PowerShell: ProgramW6432 is
# Program Files of 64-bit programs on 64-bit Windows; 32-bit Windows has
# Program Files alone.
$programs = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$exe = Get-ChildItem -LiteralPath (Join-Path $programs 'Orvane') -Filter *.exe -ErrorAction SilentlyContinue |
    Select-Object -First 1
if (-not $exe) { exit 0 }
# Both of its outputs into the pipe, so that nothing reaches the agent's
# standard error, and reading them makes PowerShell wait for the windowed
# program and set its status.
& $exe.FullName /detect /quiet 2>&1 | Out-Null
if ($LASTEXITCODE -eq 0) { 'Installed'; exit 0 }
if ($LASTEXITCODE -eq 1) { exit 0 }
exit $LASTEXITCODE
