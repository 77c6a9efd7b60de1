; The Windows installer of KWPAGE, built by scripts/package.sh with makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSTAGE=<package folder> -DOUTFILE=<setup.exe> KWPAGE.nsi
; STAGE is the unpacked package (KWPAGE.exe, KWPAGE.*.lng, templates\, README.*.md, screenshots\).
;
; Installs into Program Files\KWPAGE for all users and offers a Start-menu entry. KWPAGE keeps its
; settings file (KWPAGE.ini) beside the program, so the installer lets the Users group change files
; in the program folder; otherwise saving a work would fail for a station account without
; administrator rights. The uninstaller leaves what the station made there: the settings file, and
; the templates, which stations often edit in place.

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined (see scripts/package.sh)"
!endif

; a 64-bit installer for a 64-bit program (and Wine without 32-bit support can test it)
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "KWPAGE"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KWPAGE"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define MAIN_WINDOW_CLASS "TKW_PAGE"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KWPAGE"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\KWPAGE.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "Ukrainian"
!insertmacro MUI_LANGUAGE "English"

LangString SecProgram ${LANG_RUSSIAN} "KWPAGE и языковые файлы"
LangString SecProgram ${LANG_UKRAINIAN} "KWPAGE і мовні файли"
LangString SecProgram ${LANG_ENGLISH} "KWPAGE and its language files"
LangString SecStartMenu ${LANG_RUSSIAN} "Ярлык в меню «Пуск»"
LangString SecStartMenu ${LANG_UKRAINIAN} "Ярлик у меню «Пуск»"
LangString SecStartMenu ${LANG_ENGLISH} "Start menu entry"
LangString Running ${LANG_RUSSIAN} "KWPAGE запущен. Завершите его и нажмите «Повтор»."
LangString Running ${LANG_UKRAINIAN} "KWPAGE запущено. Завершіть його і натисніть «Повтор»."
LangString Running ${LANG_ENGLISH} "KWPAGE is running. Quit it, then press Retry."
LangString KeptFiles ${LANG_RUSSIAN} "Настройки (KWPAGE.ini) и шаблоны оставлены в $INSTDIR"
LangString KeptFiles ${LANG_UKRAINIAN} "Налаштування (KWPAGE.ini) і шаблони залишено в $INSTDIR"
LangString KeptFiles ${LANG_ENGLISH} "The settings (KWPAGE.ini) and the templates are kept in $INSTDIR"

; Files of a running program cannot be replaced or removed: ask the station to quit it first.
!macro WaitUntilClosed
  ${Do}
    FindWindow $0 "${MAIN_WINDOW_CLASS}" ""
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY +2
    Abort
  ${Loop}
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "!$(SecProgram)" SecProgramId
  SectionIn RO
  !insertmacro WaitUntilClosed
  SetOutPath "$INSTDIR"
  File "${STAGE}/KWPAGE.exe"
  File "${STAGE}/KWPAGE.*.lng"
  File "${STAGE}/README.ru.md"
  File "${STAGE}/README.en.md"
  SetOutPath "$INSTDIR\screenshots"
  File /nonfatal "${STAGE}/screenshots/*.png"
  ; a station's own edits of a sample are not overwritten by a reinstall
  SetOutPath "$INSTDIR\templates"
  SetOverwrite off
  File "${STAGE}/templates/*"
  SetOverwrite on
  SetOutPath "$INSTDIR"

  ; the settings file lives beside the program: let the station's accounts write it
  nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M /T /Q'
  Pop $0

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KWPAGE.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "$(SecStartMenu)" SecStartMenuId
  CreateShortCut "$SMPROGRAMS\KWPAGE.lnk" "$INSTDIR\KWPAGE.exe" "" "$INSTDIR\KWPAGE.exe" 0
SectionEnd

Section "Uninstall"
  !insertmacro WaitUntilClosed
  Delete "$SMPROGRAMS\KWPAGE.lnk"

  ; "Start with Windows" of this user, when it names this copy of the program
  ReadRegStr $0 HKCU "${RUN_KEY}" "KWPAGE"
  ${If} $0 == "$INSTDIR\KWPAGE.exe"
    DeleteRegValue HKCU "${RUN_KEY}" "KWPAGE"
  ${EndIf}

  Delete "$INSTDIR\KWPAGE.exe"
  Delete "$INSTDIR\KWPAGE.*.lng"
  Delete "$INSTDIR\README.ru.md"
  Delete "$INSTDIR\README.en.md"
  Delete "$INSTDIR\screenshots\*.png"
  RMDir "$INSTDIR\screenshots"
  Delete "$INSTDIR\Uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "$(KeptFiles)"
  ${EndIf}
SectionEnd
