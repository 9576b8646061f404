; The setup program of Tamberlin for 64-bit Windows, made by makensis with these -D values:
;   VERSION (x.y.z), OUTFILE, ICON, FILES (the .nsh the build writes: TB_INSTALL_FILES,
;   TB_FOR_EACH_FILE and TB_REMOVE_FOLDERS for the staged files), PUBLISHER, COPYRIGHT, TRADEMARKS,
;   SIGN (optional: the command that signs the uninstaller, tools/windows/sign.sh).
; Silent: setup.exe /S [/D=folder]; uninstall.exe /S. Exit codes are in Fail.nsh.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin
!ifdef SIGN
  ; Signed before it is packed, so that the installed uninstaller carries the signature.
  !uninstfinalize '"${SIGN}" "%1"'
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Fail.nsh
!include Running.nsh
!include Single.nsh
!include Remove.nsh
!include "${FILES}"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlin"
!define SHORTCUT "$SMPROGRAMS\Tamberlin.lnk"

Name "Tamberlin"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tamberlin"
; An update goes where the installed version lies.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Tamberlin ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TEXT "Tamberlin ${VERSION} is installed. Start it from the Start menu; Help > About shows the read-me."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tamberlin"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tamberlin ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalTrademarks" "${TRADEMARKS}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "OriginalFilename" "tamberlin-${VERSION}-setup.exe"

!insertmacro TB_DEFINE_SAY ""
!insertmacro TB_DEFINE_SAY "un."
!insertmacro TB_DEFINE_FIND_RUNNING ""
!insertmacro TB_DEFINE_FIND_RUNNING "un."

Var Written   ; 1 once this setup has begun to write into the folder
Var MadeDir   ; 1 when this setup created the folder

Function .onInit
  !insertmacro TB_SINGLE_SETUP ""
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    !insertmacro TB_FAIL "" ${TB_EXIT_ACCESS_DENIED} \
      "Installing Tamberlin needs administrator rights. Without them, unpack tamberlin-${VERSION}-windows-x64.zip into a folder of your own and start tamberlin.exe there."
  ${EndIf}
  SetShellVarContext all
FunctionEnd

; Takes back whatever this setup wrote, so that a failed setup leaves no half-installed program.
Function TbRollBack
  ${If} $Written == 1
    !insertmacro TB_FOR_EACH_FILE TB_DELETE
    Delete "$INSTDIR\uninstall.exe"
    !insertmacro TB_REMOVE_FOLDERS
    Delete "${SHORTCUT}"
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${EndIf}
  ${If} $MadeDir == 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Function .onInstFailed
  Call TbRollBack
FunctionEnd

; The folder must take a new file before anything else is changed.
Function TbCheckWritable
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $MadeDir 1
  ${EndIf}
  StrCpy $0 ""
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${IfNot} ${Errors}
    FileOpen $0 "$INSTDIR\tamberlin-setup.tmp" w
  ${EndIf}
  ${If} $0 == ""
    Call TbRollBack
    !insertmacro TB_FAIL "" ${TB_EXIT_ACCESS_DENIED} \
      "Setup cannot write into $\"$INSTDIR$\". Choose a folder you may write to, or start the setup as an administrator. Nothing was installed."
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\tamberlin-setup.tmp"
FunctionEnd

; An installed version, wherever it lies, is removed by its own uninstaller first, so that no file of
; it stays behind and the system lists Tamberlin once. The user's settings stay.
Function TbRemoveInstalled
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0\uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "Removing the installed Tamberlin from $0"
  ClearErrors
  ExecWait '"$0\uninstall.exe" /S /UPDATE _?=$0' $1
  ${If} ${Errors}
  ${OrIf} $1 <> 0
    Call TbRollBack
    !insertmacro TB_FAIL "" ${TB_EXIT_FAILED} \
      "The installed Tamberlin in $\"$0$\" could not be removed (its uninstaller ended with $1). Nothing new was installed."
  ${EndIf}
  ; Run in place, the old uninstaller could not remove itself.
  Delete "$0\uninstall.exe"
  RMDir "$0"
FunctionEnd

Section "Tamberlin"
  !insertmacro TB_WAIT_UNTIL_CLOSED "" "$INSTDIR" "setup"
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    !insertmacro TB_WAIT_UNTIL_CLOSED "" "$0" "setup"
  ${EndIf}
  Call TbCheckWritable
  Call TbRemoveInstalled

  StrCpy $Written 1
  ClearErrors
  !insertmacro TB_INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\tamberlin.exe" "" "$INSTDIR\tamberlin.exe" 0 SW_SHOWNORMAL "" \
    "Writes compiled scripts into KORVANE gateways"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tamberlin"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tamberlin.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${If} ${Errors}
    Call TbRollBack
    !insertmacro TB_FAIL "" ${TB_EXIT_FAILED} \
      "Setup could not write every file, the shortcut or the registration into $\"$INSTDIR$\". Nothing was installed."
  ${EndIf}
  ; GetSize clears the error flag: it comes after the check.
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $1
SectionEnd

Function un.onInit
  ; A setup that updates Tamberlin runs this uninstaller while it holds the lock itself.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/UPDATE" $1
  ${If} ${Errors}
    !insertmacro TB_SINGLE_SETUP "un."
  ${EndIf}
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  !insertmacro TB_WAIT_UNTIL_CLOSED "un." "$INSTDIR" "uninstall"
  !insertmacro TB_REMOVE_ALL_OR_NONE "un."
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro TB_REMOVE_FOLDERS
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
