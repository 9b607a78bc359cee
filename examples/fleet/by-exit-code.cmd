@ECHO OFF
REM Beside SETUP.EXE. This file's arguments go to SETUP.EXE after /Q.
SETLOCAL
"%~dp0SETUP.EXE" /Q %*
SET RC=%ERRORLEVEL%
IF %RC% EQU 0 GOTO installed
IF %RC% EQU 1 GOTO restart
IF %RC% EQU 16 GOTO check_adapter
IF %RC% EQU 8 GOTO no_adapter
GOTO failed

:installed
ECHO Installed.
EXIT /B %RC%

:restart
ECHO Installed; older service registrations were removed: restart the server.
EXIT /B %RC%

:check_adapter
ECHO Installed, but the adapter has no working USB driver: check its USB
ECHO connection and configuration, and restart the server.
EXIT /B %RC%

:no_adapter
ECHO No adapter found; nothing was changed.
EXIT /B %RC%

:failed
ECHO Installation failed with exit code %RC%.
EXIT /B %RC%
