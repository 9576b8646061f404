; Removing the installed files, all or none. Each file is first renamed beside itself, which fails
; where deleting would (a file in use, a folder without write access); when one fails, the others
; get their names back and nothing is removed. Checked by the file's presence, since Wine reports a
; failed delete as done.
!include LogicLib.nsh

; $R8: "" while every file could be moved aside, else the first one that could not.
!macro TB_PARK file
  ${If} $R8 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${file}"
    ClearErrors
    Rename "$INSTDIR\${file}" "$INSTDIR\${file}.removing"
    ${If} ${Errors}
      StrCpy $R8 "$INSTDIR\${file}"
    ${EndIf}
  ${EndIf}
!macroend

!macro TB_UNPARK file
  ${If} ${FileExists} "$INSTDIR\${file}.removing"
    Rename "$INSTDIR\${file}.removing" "$INSTDIR\${file}"
  ${EndIf}
!macroend

!macro TB_DROP file
  Delete "$INSTDIR\${file}.removing"
!macroend

!macro TB_DELETE file
  Delete "$INSTDIR\${file}"
!macroend

; TB_REMOVE_ALL_OR_NONE un: removes the files of TB_FOR_EACH_FILE, or ends with TB_EXIT_FAILED and
; leaves them all in place.
!macro TB_REMOVE_ALL_OR_NONE un
  StrCpy $R8 ""
  !insertmacro TB_FOR_EACH_FILE TB_PARK
  ${If} $R8 != ""
    !insertmacro TB_FOR_EACH_FILE TB_UNPARK
    !insertmacro TB_FAIL "${un}" ${TB_EXIT_FAILED} \
      "$R8 cannot be removed: close the programs that use it, or check the folder's permissions, and run the uninstall again. Nothing was removed."
  ${EndIf}
  !insertmacro TB_FOR_EACH_FILE TB_DROP
!macroend
