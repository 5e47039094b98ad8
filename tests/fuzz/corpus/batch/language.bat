set "v=abcdef"
echo %v:~1,3% %v:~-2% %v:cd=XY% %~dp0 %~nx0 %1 %2
if exist sub (
  echo yes
) else (
  md sub
  echo made > sub\f.txt
)
type sub\f.txt
call :sub one two
echo back %errorlevel% && echo ok || echo no
setlocal
set x=1
endlocal
shift
echo %1 ^
continued
goto :eof
:sub
echo in %0 %1 %2
exit /b 7
