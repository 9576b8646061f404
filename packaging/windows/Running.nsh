; Finds a Tamberlin program that runs from a given folder: its files cannot be replaced or removed
; while it runs (Windows keeps a running program's file open).
!include LogicLib.nsh

!macro TB_DEFINE_FIND_RUNNING un
  ; Folder on the stack; leaves on the stack the full path of a tamberlin.exe or tamberlin-cli.exe
  ; that runs from it, or "" when none does.
  Function ${un}TbFindRunning
    Exch $0 ; the folder, then the answer
    Push $1 ; snapshot
    Push $2 ; process entry
    Push $3 ; more entries
    Push $4 ; process handle
    Push $5 ; path length
    Push $6 ; the program's path
    Push $7 ; the answer
    StrCpy $7 ""
    System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r1' ; TH32CS_SNAPPROCESS
    ${If} $1 P<> -1
      ; PROCESSENTRY32W on x64 is 568 bytes; its process id lies at offset 8.
      System::Alloc 568
      Pop $2
      System::Call '*$2(i 568)'
      System::Call 'kernel32::Process32FirstW(p r1, p r2) i .r3'
      ${DoWhile} $3 <> 0
        System::Call '*$2(i, i, i .r4)'
        System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r4) p .r4' ; PROCESS_QUERY_LIMITED_INFORMATION
        ${If} $4 P<> 0
          StrCpy $5 ${NSIS_MAX_STRLEN}
          System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r6, *i r5) i .r5'
          System::Call 'kernel32::CloseHandle(p r4)'
          ${If} $5 <> 0
            ${If} $6 == "$0\tamberlin.exe"
            ${OrIf} $6 == "$0\tamberlin-cli.exe"
              StrCpy $7 $6
              ${Break}
            ${EndIf}
          ${EndIf}
        ${EndIf}
        System::Call 'kernel32::Process32NextW(p r1, p r2) i .r3'
      ${Loop}
      System::Free $2
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    StrCpy $0 $7
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
  FunctionEnd
!macroend

; TB_WAIT_UNTIL_CLOSED un folder what: while a Tamberlin program runs from the folder, asks to close
; it (Retry) or gives up (Cancel, and always in a silent run) with TB_EXIT_IN_USE.
!macro TB_WAIT_UNTIL_CLOSED un folder what
  ${Do}
    Push "${folder}"
    Call ${un}TbFindRunning
    Pop $R9
    ${If} $R9 == ""
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R9 is running. Close every Tamberlin window and command that runs from $\"${folder}$\", then choose Retry." /SD IDCANCEL IDRETRY`
      ${Continue}
    ${EndIf}
    !insertmacro TB_FAIL "${un}" ${TB_EXIT_IN_USE} \
      "Tamberlin runs from $\"${folder}$\" ($R9): close it and start the ${what} again. Nothing was changed."
  ${Loop}
!macroend
