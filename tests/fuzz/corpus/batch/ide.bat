@echo off
REM Halyard compile batch
set PATH=C:\CL370;%PATH%
C:
cd C:\texassource
if exist demo.out del demo.out
cl370 -v0 -ms -g  main.c timer.c leds.c -z -o demo.out -m demo.map lnk.cmd > C:\texassource\compiler.txt 2>&1
if errorlevel 1 goto failed
echo Build finished
goto :eof
:failed
echo Build failed %errorlevel%
exit /b 1
