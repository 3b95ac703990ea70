@echo off
rem Saved in Shift_JIS (code page 932): the chcp below makes cmd.exe read it so.
setlocal EnableExtensions DisableDelayedExpansion
set "OLDCP="
for /f "tokens=2 delims=:" %%a in ('chcp') do for %%b in (%%a) do set "OLDCP=%%b"
if defined OLDCP set "OLDCP=%OLDCP:.=%"
chcp 932 >nul 2>&1

rem ======================================================================
rem  Duomira 右クリックメニューの登録
rem
rem  エクスプローラーの右クリックメニューに「Diffﾂｰﾙで比較」を追加します。
rem  ファイル・フォルダ・ドライブが対象で、このユーザーだけに登録するので
rem  管理者権限は要りません。書き込むのは次の3つのキーとその中身だけです。
rem    HKEY_CURRENT_USER\Software\Classes\*\shell\Duomira
rem    HKEY_CURRENT_USER\Software\Classes\Directory\shell\Duomira
rem    HKEY_CURRENT_USER\Software\Classes\Drive\shell\Duomira
rem  メニューから起動するのは、このファイルと同じフォルダの Duomira.exe です。
rem  フォルダを移した後は、移した先でもう一度実行してください。
rem  何度実行しても問題ありません。
rem
rem  使い方: menu_register.cmd [/quiet]
rem    /quiet  最後にキー入力を待たずに終わる
rem  終了コード: 0 = 登録した、1 = 登録できなかった
rem ======================================================================

set "EXE=%~dp0Duomira.exe"
set "TEXT=Diffﾂｰﾙで比較"
set "ROOT=HKCU\Software\Classes"
set "RESULT=0"

rem フォルダ名にアンパサンドや感嘆符が含まれていても崩れないよう、
rem ここから先は EXE を遅延展開 (感嘆符で囲む形) で参照する。
setlocal EnableDelayedExpansion

if not exist "!EXE!" goto :no_exe

call :add_verb "*"
if errorlevel 1 goto :failed
call :add_verb "Directory"
if errorlevel 1 goto :failed
call :add_verb "Drive"
if errorlevel 1 goto :failed

echo 右クリックメニューに「%TEXT%」を登録しました。
echo ファイル・フォルダ・ドライブを右クリックすると表示されます。
echo 起動するプログラム: !EXE!
goto :done

:no_exe
echo Duomira.exe が見つかりません: !EXE!
echo このファイルは Duomira.exe と同じフォルダに置いたまま実行してください。
set "RESULT=1"
goto :done

:failed
echo 右クリックメニューを登録できませんでした。
set "RESULT=1"
goto :done

rem ----------------------------------------------------------------------
rem  :add_verb 種類
rem  HKCU\Software\Classes\種類\shell\Duomira にメニュー項目を書き込む。
rem  "%%1" はエクスプローラーが選ばれた項目のフルパスに置き換える。
rem ----------------------------------------------------------------------
:add_verb
set "KEY=%ROOT%\%~1\shell\Duomira"
reg add "%KEY%" /ve /t REG_SZ /d "%TEXT%" /f >nul
if errorlevel 1 exit /b 1
reg add "%KEY%" /v Icon /t REG_SZ /d "!EXE!,0" /f >nul
if errorlevel 1 exit /b 1
reg add "%KEY%\command" /ve /t REG_SZ /d "\"!EXE!\" \"%%1\"" /f >nul
if errorlevel 1 exit /b 1
exit /b 0

:done
if /i not "%~1"=="/quiet" pause
if defined OLDCP if not "%OLDCP%"=="932" chcp %OLDCP% >nul 2>&1
exit /b %RESULT%
