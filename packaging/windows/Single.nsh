; One setup or uninstall of Tamberlin at a time, across all sessions: a second one would write or
; remove the same files underneath the first. The lock is a named mutex held until the process ends.
!include LogicLib.nsh

!macro TB_SINGLE_SETUP un
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "Global\Tamberlin-Setup") p .r0 ?e'
  Pop $1 ; the last error
  ; ERROR_ALREADY_EXISTS, or no handle at all when another session's setup holds it.
  ${If} $1 = 183
  ${OrIf} $0 P= 0
    !insertmacro TB_FAIL "${un}" ${TB_EXIT_ALREADY_RUNNING} \
      "Another setup or uninstall of Tamberlin is running. Let it finish, then start this one again."
  ${EndIf}
!macroend
