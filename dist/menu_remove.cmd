@echo off
rem Saved in Shift_JIS (code page 932): the chcp below makes cmd.exe read it so.
setlocal EnableExtensions DisableDelayedExpansion
set "OLDCP="
for /f "tokens=2 delims=:" %%a in ('chcp') do for %%b in (%%a) do set "OLDCP=%%b"
if defined OLDCP set "OLDCP=%OLDCP:.=%"
chcp 932 >nul 2>&1

rem ======================================================================
rem  Duomira 右クリックメニューの削除
rem
rem  menu_register.cmd で登録した「Diffﾂｰﾙで比較」を右クリックメニューから
rem  取り除きます。削除するのは次の3つのキーとその中身だけです。
rem    HKEY_CURRENT_USER\Software\Classes\*\shell\Duomira
rem    HKEY_CURRENT_USER\Software\Classes\Directory\shell\Duomira
rem    HKEY_CURRENT_USER\Software\Classes\Drive\shell\Duomira
rem  登録のときにできた入れ物のキー (…\*\shell、…\* など) は、
rem  空 (値もサブキーも無い) のときだけ削除します。
rem  ﾂｰﾙのﾊﾟｽなど Duomira の設定 (HKEY_CURRENT_USER\Software\
rem  VB and VBA Program Settings\Duomira) には触れません。
rem  登録されていないときに実行しても問題ありません。
rem
rem  使い方: menu_remove.cmd [/quiet]
rem    /quiet  最後にキー入力を待たずに終わる
rem  終了コード: 0 = 削除した (または元から無かった)、1 = 削除できなかった
rem ======================================================================

set "TEXT=Diffﾂｰﾙで比較"
set "ROOT=HKCU\Software\Classes"
set "RESULT=0"

call :remove_verb "*"
if errorlevel 1 goto :failed
call :remove_verb "Directory"
if errorlevel 1 goto :failed
call :remove_verb "Drive"
if errorlevel 1 goto :failed

echo 右クリックメニューから「%TEXT%」を削除しました。
echo ﾂｰﾙのﾊﾟｽなどの設定は、次の場所にそのまま残しています。
echo   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Duomira
goto :done

:failed
echo 右クリックメニューを削除できませんでした。
set "RESULT=1"
goto :done

rem ----------------------------------------------------------------------
rem  :remove_verb 種類
rem  HKCU\Software\Classes\種類\shell\Duomira があれば、中身ごと削除する。
rem ----------------------------------------------------------------------
:remove_verb
set "KEY=%ROOT%\%~1\shell\Duomira"
reg query "%KEY%" >nul 2>&1
if errorlevel 1 exit /b 0
reg delete "%KEY%" /f >nul
if errorlevel 1 exit /b 1
call :remove_if_empty "HKEY_CURRENT_USER\Software\Classes\%~1\shell"
call :remove_if_empty "HKEY_CURRENT_USER\Software\Classes\%~1"
exit /b 0

rem ----------------------------------------------------------------------
rem  :remove_if_empty キー
rem  キーに値もサブキーも無ければ削除する。reg query が表示するのは
rem  キー自身の名前 (表示しない版もある) と、値とサブキーの行なので、
rem  名前と違う行が1つでもあれば残す。
rem ----------------------------------------------------------------------
:remove_if_empty
reg query "%~1" >nul 2>&1
if errorlevel 1 exit /b 0
set "SELF=%~1"
set "INUSE="
for /f "delims=" %%l in ('reg query "%~1" 2^>nul') do (
    set "LINE=%%l"
    call :note_other_line
)
if defined INUSE exit /b 0
reg delete "%~1" /f >nul 2>&1
exit /b 0

rem  LINE がキー自身の名前でなければ INUSE を立てる。行に引用符などが
rem  含まれていても崩れないよう、遅延展開で比べる。
:note_other_line
setlocal EnableDelayedExpansion
if /i "!LINE!"=="!SELF!" (endlocal & exit /b 0)
endlocal
set "INUSE=1"
exit /b 0

:done
if /i not "%~1"=="/quiet" pause
if defined OLDCP if not "%OLDCP%"=="932" chcp %OLDCP% >nul 2>&1
exit /b %RESULT%
