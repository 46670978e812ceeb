@echo off
rem Installs the tool where only administrators may write, in Program Files
rem of 64-bit programs on 64-bit Windows whatever this script runs as, and
rem sets every user's settings. Its status is the tool's, but 7 (done for
rem every user but the lists the tool's log names, each left as it was) is 0:
rem one user's list must not fail the deployment.
set "programs=%ProgramW6432%"
if not defined programs set "programs=%ProgramFiles%"
set "folder=%programs%\Orvane"
if not exist "%folder%" mkdir "%folder%" || exit /b 2
copy /y "%~dp0Orvane設定ﾂｰﾙ.exe" "%folder%\" >nul || exit /b 2
"%folder%\Orvane設定ﾂｰﾙ.exe" /set /allusers /quiet
set status=%ERRORLEVEL%
if %status%==7 set status=0
exit /b %status%
