@echo off
rem Removes the two entries install-menu.cmd added to Explorer's right-click menu of drives
rem and folders for the current user: its four keys with their commands, nothing else.
rem ("if errorlevel" rather than || and &&: some cmd.exe work-alikes run the right side of
rem those whatever the result.)
setlocal
set failed=
for %%c in (Drive Directory) do for %%v in (ZaveroClear ZaveroList) do (
  call :remove "HKCU\Software\Classes\%%c\shell\%%v"
)
if defined failed exit /b 1
exit /b 0

:remove
reg query %1 >nul 2>&1
if errorlevel 1 (
  echo not there: %~1
  exit /b 0
)
reg delete %1 /f >nul
if errorlevel 1 (
  echo uninstall-menu: could not remove %~1
  set failed=1
  exit /b 1
)
echo removed %~1
exit /b 0
