; Duomira's setup program: a per-user install that needs no administrator.
;
;   makensis -INPUTCHARSET UTF8 -DEXE=<Duomira.exe> -DDIST=<dist folder>
;            -DICON=<duomira.ico> -DOUT=<setup.exe> duomira.nsi
;
; It installs Duomira.exe, the guide and an uninstaller into
; %LOCALAPPDATA%\Programs\Duomira, adds the Explorer menu entry with the very
; keys menu_register.cmd writes, a 「送る」 shortcut and the uninstall entry of
; 「設定 › アプリ」. Installing over an earlier copy replaces it in place.
; /S runs without any window (package managers); then a waiting Duomira is
; closed without asking, and the settings are kept on uninstall.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that can't be written stops the install; it is never skipped quietly.
AllowSkipFiles off

!ifndef EXE | DIST | ICON | OUT
  !error "define EXE (the built Duomira.exe), DIST (the dist folder), ICON and OUT (the setup file)"
!endif

!define VERSION "1.00"
!define VERSION_QUAD "1.0.0.0"
!define PUBLISHER "Duomira"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Duomira"
!define SETTINGS_KEY "Software\VB and VBA Program Settings\Duomira"
!define SETTINGS_HOLDER "Software\VB and VBA Program Settings"
!define MENU_TEXT "Diffﾂｰﾙで比較"
!define GUIDE "はじめにお読みください.txt"
!define UNINSTALLER "uninstall.exe"
; The window of a Duomira that waits for the second item.
!define MAIN_WINDOW_CLASS "DuomiraMainWindow"

Name "Duomira"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\Duomira"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Duomira ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1041 "ProductName" "Duomira"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "FileDescription" "Duomira セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "ﾂｰﾙのﾊﾟｽなどの設定は、チェックを入れたときだけ削除します。"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

; ---------------------------------------------------------------- shared

; A Duomira waiting for the second item holds Duomira.exe open, so it can't be
; replaced or deleted. Asks the user (or, silent, decides alone) to close it:
; WM_CLOSE ends it without a question, dropping the waiting item. Gives up
; after about ten seconds; the install or uninstall then stops with an error.
!macro DEFINE_CLOSE_DUOMIRA prefix
Function ${prefix}CloseWaitingDuomira
  FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${If} $0 == 0
    Return
  ${EndIf}
  MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION \
    "Duomira が1つ目の項目を選んだまま待っています。$\r$\n「OK」を押すと Duomira を終了して続けます (選んだ項目は取り消されます)。" \
    /SD IDOK IDOK close
  Abort "Duomira が起動しているため中止しました。"
close:
  StrCpy $1 0
  ${DoUntil} $0 == 0
    ${If} $1 >= 40
      Abort "Duomira を終了できませんでした。Duomira を閉じてから、もう一度実行してください。"
    ${EndIf}
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 250
    IntOp $1 $1 + 1
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${Loop}
  ; The process ends a moment after its window.
  Sleep 500
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_DUOMIRA ""
!insertmacro DEFINE_CLOSE_DUOMIRA "un."

; ---------------------------------------------------------------- install

; One kind of item (*, Directory, Drive): the keys menu_register.cmd writes.
!macro ADD_VERB kind
  WriteRegStr HKCU "Software\Classes\${kind}\shell\Duomira" "" "${MENU_TEXT}"
  WriteRegStr HKCU "Software\Classes\${kind}\shell\Duomira" "Icon" "$INSTDIR\Duomira.exe,0"
  WriteRegStr HKCU "Software\Classes\${kind}\shell\Duomira\command" "" '"$INSTDIR\Duomira.exe" "%1"'
!macroend

Section "Duomira"
  SectionIn RO
  SetShellVarContext current
  Call CloseWaitingDuomira

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=Duomira.exe" "${EXE}"
  File "/oname=${GUIDE}" "${DIST}\${GUIDE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  !insertmacro ADD_VERB "*"
  !insertmacro ADD_VERB "Directory"
  !insertmacro ADD_VERB "Drive"

  CreateShortCut "$SENDTO\${MENU_TEXT}.lnk" "$INSTDIR\Duomira.exe" "" "$INSTDIR\Duomira.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Duomira"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Duomira.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; ---------------------------------------------------------------- uninstall

; Deletes HKCU\key when it holds neither values nor subkeys, as
; menu_remove.cmd does with the keys that held the menu entry.
Function un.RemoveKeyIfEmpty
  Pop $0
  ClearErrors
  EnumRegValue $1 HKCU "$0" 0
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ClearErrors
  EnumRegKey $1 HKCU "$0" 0
  ${If} $1 == ""
    DeleteRegKey /ifempty HKCU "$0"
  ${EndIf}
FunctionEnd

!macro REMOVE_VERB kind
  ClearErrors
  EnumRegKey $1 HKCU "Software\Classes\${kind}\shell\Duomira" 0
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "Software\Classes\${kind}\shell\Duomira"
    Push "Software\Classes\${kind}\shell"
    Call un.RemoveKeyIfEmpty
    Push "Software\Classes\${kind}"
    Call un.RemoveKeyIfEmpty
  ${EndIf}
!macroend

Section "un.Duomira"
  SectionIn RO
  SetShellVarContext current
  Call un.CloseWaitingDuomira

  !insertmacro REMOVE_VERB "*"
  !insertmacro REMOVE_VERB "Directory"
  !insertmacro REMOVE_VERB "Drive"
  Delete "$SENDTO\${MENU_TEXT}.lnk"

  Delete "$INSTDIR\Duomira.exe"
  Delete "$INSTDIR\${GUIDE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Unticked unless the user ticks it, and so always unticked with /S.
Section /o "un.ﾂｰﾙのﾊﾟｽなどの設定も削除する"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  Push "${SETTINGS_HOLDER}"
  Call un.RemoveKeyIfEmpty
SectionEnd
