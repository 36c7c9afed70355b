@echo off
rem Adds "Make hidden files visible" and "List hidden files" to Explorer's right-click menu
rem of drives and folders, for the current user only (no administrator needed). Both run the
rem zavero.exe beside this script on the drive or folder clicked, with the default masks,
rem and write their log to the user's temporary folder; the run offers it at the end.
rem uninstall-menu.cmd removes exactly what this adds. Run it again after moving the folder.
rem
rem Each command is a REG_EXPAND_SZ value: Explorer expands %TEMP% when the entry is clicked,
rem in the user's own environment, and puts the path clicked in for %1 ("E:\" for a drive,
rem which zavero reads as E:\, its command line knowing no escapes). No cmd.exe stands in
rem between, so no folder name holding & ^ % or ! is ever parsed by one.
rem
rem "if errorlevel" rather than || and &&: some cmd.exe work-alikes run the right side of
rem those whatever the result.
setlocal DisableDelayedExpansion
rem Taken while delayed expansion is off, so that a "!" in the folder's name stays.
set "exe=%~dp0zavero.exe"
if not exist "%exe%" (
  echo install-menu: no zavero.exe beside this script
  exit /b 1
)
rem The path is only ever expanded late (!exe!), after cmd has looked for & and ( in a line.
setlocal EnableDelayedExpansion
set failed=
for %%c in (Drive Directory) do (
  call :add %%c ZaveroClear CLEAR zavero-clear.log "Make hidden files visible"
  call :add %%c ZaveroList LIST zavero-list.log "List hidden files"
)
if defined failed exit /b 1
echo Right-click a drive or a folder in Explorer to use them.
exit /b 0

rem :add CLASS VERB MODE LOGNAME TEXT (reg.exe takes \" for a quote inside its argument)
:add
set "key=HKCU\Software\Classes\%~1\shell\%~2"
reg add "!key!" /ve /d "%~5" /f >nul
if errorlevel 1 goto :failed
reg add "!key!\command" /ve /t REG_EXPAND_SZ /d "\"!exe!\" %~3 \"%%TEMP%%\%~4\" \"%%1\"" /f >nul
if errorlevel 1 goto :failed
echo added !key! ("%~5"): "!exe!" %~3 "%%TEMP%%\%~4" "%%1"
exit /b 0
:failed
echo install-menu: could not write !key!
set failed=1
exit /b 1
