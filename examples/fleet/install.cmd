@ECHO OFF
REM Runs the Quillon 2 software installer unattended for Configuration
REM Manager, Intune or a scheduled task: SETUP.EXE /Q from this file's folder,
REM with this file's arguments after /Q. Those tools keep no console output,
REM so the start time, the output and the exit code are appended to
REM %SystemRoot%\Logs\qln2-setup.log, in a folder that only administrators
REM and the system may write. When that file cannot be written (an earlier
REM run still has it open, it is read-only, its folder is missing), SETUP.EXE
REM runs all the same and they go to standard output instead.
REM Returns SETUP.EXE's exit code unchanged, or a code of its own: 100 when
REM there is no SETUP.EXE in this file's folder that cmd can start, 101 when
REM an argument is an invalid force code (it begins with -F but not with
REM -FU), with which SETUP.EXE would install nothing and return 0.
SETLOCAL
SET "LOG=%SystemRoot%\Logs\qln2-setup.log"
SET "SETUP=%~dp0SETUP.EXE"
SET ARGS=%*
REM cmd skips a command whose redirection fails: then RAN stays unset.
SET RAN=
CALL :run >>"%LOG%" 2>&1
IF NOT DEFINED RAN CALL :run
EXIT /B %RC%

:run
SET RAN=1
ECHO ==== %DATE% %TIME%: "%SETUP%" /Q %ARGS%
CALL :invalid_force_code %ARGS%
IF DEFINED INVALID GOTO refused
"%SETUP%" /Q %ARGS%
SET RC=%ERRORLEVEL%
REM 9009: cmd found no such program.
IF %RC% EQU 9009 SET RC=100
GOTO ended
:refused
ECHO install.cmd: %INVALID% is an invalid force code (only -FU forces): SETUP.EXE would install nothing and exit with 0, so it was not run.
SET RC=101
:ended
ECHO.
ECHO ==== exit code %RC%
EXIT /B

REM Sets INVALID to the first argument that begins with -F but not with -FU,
REM in any letter case, as SETUP.EXE reads them.
:invalid_force_code
SET INVALID=
:next_argument
IF [%1]==[] EXIT /B
SET "ARG=%~1"
IF /I NOT "%ARG:~0,2%"=="-F" GOTO valid_argument
IF /I NOT "%ARG:~0,3%"=="-FU" SET "INVALID=%~1"
IF DEFINED INVALID EXIT /B
:valid_argument
SHIFT
GOTO next_argument
