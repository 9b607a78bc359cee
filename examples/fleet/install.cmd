@ECHO OFF
REM Runs the Quillon 2 software installer unattended for Configuration
REM Manager, Intune or a scheduled task: SETUP.EXE /Q from this file's folder,
REM with this file's arguments after /Q. Those tools keep no console output,
REM so the start time, the output and the exit code are appended to
REM %SystemRoot%\Temp\qln2-setup.log. When that file cannot be written (an
REM earlier run still has it open, it is read-only, its folder is missing),
REM SETUP.EXE runs all the same and they go to standard output instead.
REM Returns SETUP.EXE's exit code unchanged, or 100, a code of its own, when
REM there is no SETUP.EXE in this file's folder that cmd can start.
SETLOCAL
SET "LOG=%SystemRoot%\Temp\qln2-setup.log"
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
"%SETUP%" /Q %ARGS%
SET RC=%ERRORLEVEL%
REM 9009: cmd found no such program.
IF %RC% EQU 9009 SET RC=100
ECHO.
ECHO ==== exit code %RC%
EXIT /B
