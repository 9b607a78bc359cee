@ECHO OFF
REM Runs the Quillon 2 software installer unattended for Configuration
REM Manager, Intune or a scheduled task: SETUP.EXE /Q from this file's folder,
REM with this file's arguments after /Q. Those tools keep no console output,
REM so the start time, the output and the exit code are appended to
REM %SystemRoot%\Temp\qln2-setup.log. Returns SETUP.EXE's exit code unchanged.
SETLOCAL
SET "LOG=%SystemRoot%\Temp\qln2-setup.log"
>>"%LOG%" ECHO ==== %DATE% %TIME%: "%~dp0SETUP.EXE" /Q %*
"%~dp0SETUP.EXE" /Q %* >>"%LOG%" 2>&1
SET RC=%ERRORLEVEL%
>>"%LOG%" ECHO.
>>"%LOG%" ECHO ==== exit code %RC%
EXIT /B %RC%
