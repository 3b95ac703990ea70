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

rem %~dp0 と %~f0 はそれぞれ1行に1つだけ置く (同じ行に別の % があると、
rem フォルダ名の % と組になって消える cmd.exe がある)。
set "EXE=%~dp0Duomira.exe"
set "SELF=%~f0"
set "TEXT=Diffﾂｰﾙで比較"
set "ROOT=HKCU\Software\Classes"
set "RESULT=0"

rem フォルダ名は感嘆符・パーセント記号・アンパサンド・キャレット・括弧などを
rem 含むことがある。EXE は引用符の中か for 変数 (%%E) でだけ参照し、
rem 遅延展開は使わない (値の中の感嘆符が消えるため)。call にも渡さない。
rem 自分自身のパスが見つからないときは、cmd.exe がフォルダ名を読み違えている
rem (パーセント記号を環境変数として展開するなど)。正しいパスを登録できないので、
rem 何も書き込まずに終わる。
if not exist "%SELF%" goto :bad_folder
if not exist "%EXE%" goto :no_exe

call :add_verb "*"
if errorlevel 1 goto :failed
call :add_verb "Directory"
if errorlevel 1 goto :failed
call :add_verb "Drive"
if errorlevel 1 goto :failed

echo 右クリックメニューに「%TEXT%」を登録しました。
echo ファイル・フォルダ・ドライブを右クリックすると表示されます。
for %%E in ("%EXE%") do echo 起動するプログラム: %%~E
goto :done

:bad_folder
echo このフォルダの名前は、このコマンド プロンプトでは正しく読み取れません。
echo 右クリックメニューは登録していません。
echo フォルダの名前から %% などの記号を取り除いてから、もう一度実行してください。
echo インストーラー (Duomira-1.00-setup-x64.exe) を使えば、この手順は要りません。
set "RESULT=1"
goto :done

:no_exe
for %%E in ("%EXE%") do echo Duomira.exe が見つかりません: %%~E
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
rem  EXE は for 変数にしてから使う: for 変数は行を区切った後で置き換わるので、
rem  値の中のアンパサンドやキャレットが引用符の外に出ても崩れない。
rem ----------------------------------------------------------------------
:add_verb
set "KEY=%ROOT%\%~1\shell\Duomira"
reg add "%KEY%" /ve /t REG_SZ /d "%TEXT%" /f >nul
if errorlevel 1 exit /b 1
for %%E in ("%EXE%") do reg add "%KEY%" /v Icon /t REG_SZ /d "%%~E,0" /f >nul
if errorlevel 1 exit /b 1
for %%E in ("%EXE%") do reg add "%KEY%\command" /ve /t REG_SZ /d "\"%%~E\" \"%%1\"" /f >nul
if errorlevel 1 exit /b 1
exit /b 0

:done
if /i not "%~1"=="/quiet" pause
if defined OLDCP if not "%OLDCP%"=="932" chcp %OLDCP% >nul 2>&1
exit /b %RESULT%
