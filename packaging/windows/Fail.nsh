; Ending a setup or uninstall that cannot go on: a message box when someone is watching, the same text
; on standard error when it runs silently (a distribution tool reads that and the exit code).
!include LogicLib.nsh

; Exit codes: Windows' own error numbers, which distribution tools already know.
!define TB_EXIT_ACCESS_DENIED 5       ; the folder cannot be written
!define TB_EXIT_IN_USE 32             ; Tamberlin runs from the folder
!define TB_EXIT_FAILED 1603           ; files could not be written, or the older version not removed
!define TB_EXIT_ALREADY_RUNNING 1618  ; another setup or uninstall of Tamberlin runs

!macro TB_DEFINE_SAY un
  ; Shows the message on the stack, or writes it to standard error in a silent run.
  Function ${un}TbSay
    Exch $0
    Push $1
    Push $2
    ${If} ${Silent}
      System::Call 'kernel32::GetStdHandle(i -12) p .r1'
      ${If} $1 P<> 0
      ${AndIf} $1 P<> -1
        StrCpy $0 "$0$\r$\n"
        StrLen $2 $0
        System::Call 'kernel32::WriteFile(p r1, m r0, i r2, *i .r2, p 0)'
      ${EndIf}
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP $0
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
  FunctionEnd
!macroend

; TB_FAIL un code "message": says it and ends with the code; nothing is changed after it.
!macro TB_FAIL un code message
  Push "${message}"
  Call ${un}TbSay
  SetErrorLevel ${code}
  Quit
!macroend
