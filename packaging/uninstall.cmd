@echo off
rem Takes every user's settings out, then the tool; its status is the tool's.
set "programs=%ProgramW6432%"
if not defined programs set "programs=%ProgramFiles%"
set "folder=%programs%\Orvane"
"%folder%\Orvane設定ﾂｰﾙ.exe" /remove /allusers /quiet
set status=%ERRORLEVEL%
if %status%==0 rd /s /q "%folder%"
exit /b %status%
