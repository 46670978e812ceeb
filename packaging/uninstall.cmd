@echo off
rem Takes every user's settings out, then the tool; its status is the tool's,
rem but 7 (done for every user but the lists the tool's log names, each left
rem as it was) is 0, and the tool goes then too.
set "programs=%ProgramW6432%"
if not defined programs set "programs=%ProgramFiles%"
set "folder=%programs%\Orvane"
"%folder%\Orvane設定ﾂｰﾙ.exe" /remove /allusers /quiet
set status=%ERRORLEVEL%
if %status%==7 set status=0
if %status%==0 rd /s /q "%folder%"
exit /b %status%
