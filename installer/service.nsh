; Windows services from Setup and the uninstaller: reading a service's state through the service
; control manager, bounded waits for a state, stopping and starting. sc.exe's output is text for
; people (and translated on Windows), so states are read with the System plugin instead.
;
; Functions take their arguments on the stack, the first pushed first, and leave one result there.
; Each is defined twice, for Setup and (with "un.") for the uninstaller, by the macros at the end.

!define SERVICE_STOPPED 1
!define SERVICE_START_PENDING 2
!define SERVICE_STOP_PENDING 3
!define SERVICE_RUNNING 4
!define SC_MANAGER_CONNECT 0x0001
!define SERVICE_QUERY_STATUS 0x0004
!define SC_STATUS_PROCESS_INFO 0
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
!define SERVICE_POLL_MS 250

!macro SERVICE_FUNCTIONS un
; (name) -> the service's state, SERVICE_STOPPED to SERVICE_PAUSED, or 0 when the service is not
; registered or cannot be read.
Function ${un}ServiceState
  System::Store "S"
  Pop $0
  StrCpy $3 0
  System::Call "advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r1"
  ${If} $1 P<> 0
    System::Call "advapi32::OpenServiceW(p r1, w r0, i ${SERVICE_QUERY_STATUS}) p.r2"
    ${If} $2 P<> 0
      ; SERVICE_STATUS: seven DWORDs, the current state second.
      System::Call "*(i, i, i, i, i, i, i) p.r4"
      System::Call "advapi32::QueryServiceStatus(p r2, p r4) i.r5"
      ${If} $5 <> 0
        System::Call "*$4(i, i.r3)"
      ${EndIf}
      System::Free $4
      System::Call "advapi32::CloseServiceHandle(p r2)"
    ${EndIf}
    System::Call "advapi32::CloseServiceHandle(p r1)"
  ${EndIf}
  Push $3
  System::Store "L"
FunctionEnd

; (name, state, limit in ms) -> the last state seen. Waits until the service is in that state or
; the time is up; when the state waited for is SERVICE_STOPPED, a service that is gone counts too.
Function ${un}WaitForServiceState
  System::Store "S"
  Pop $2
  Pop $1
  Pop $0
  StrCpy $4 0
  ${Do}
    Push $0
    Call ${un}ServiceState
    Pop $3
    ${If} $3 = $1
      ${Break}
    ${EndIf}
    ${If} $3 = 0
    ${AndIf} $1 = ${SERVICE_STOPPED}
      ${Break}
    ${EndIf}
    ${If} $4 >= $2
      ${Break}
    ${EndIf}
    Sleep ${SERVICE_POLL_MS}
    IntOp $4 $4 + ${SERVICE_POLL_MS}
  ${Loop}
  Push $3
  System::Store "L"
FunctionEnd

; (name) -> a handle to the process the service runs in, to wait on, or 0 when it has none.
Function ${un}OpenServiceProcess
  System::Store "S"
  Pop $0
  StrCpy $5 0
  System::Call "advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_CONNECT}) p.r1"
  ${If} $1 P<> 0
    System::Call "advapi32::OpenServiceW(p r1, w r0, i ${SERVICE_QUERY_STATUS}) p.r2"
    ${If} $2 P<> 0
      ; SERVICE_STATUS_PROCESS: nine DWORDs, the process id eighth.
      System::Call "*(i, i, i, i, i, i, i, i, i) p.r3"
      System::Call "advapi32::QueryServiceStatusEx(p r2, i ${SC_STATUS_PROCESS_INFO}, p r3, i 36, \
*i .r7) i.r4"
      ${If} $4 <> 0
        System::Call "*$3(i, i, i, i, i, i, i, i.r6)"
        ${If} $6 <> 0
          System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r6) p.r5"
        ${EndIf}
      ${EndIf}
      System::Free $3
      System::Call "advapi32::CloseServiceHandle(p r2)"
    ${EndIf}
    System::Call "advapi32::CloseServiceHandle(p r1)"
  ${EndIf}
  Push $5
  System::Store "L"
FunctionEnd

; (name, limit in ms) -> 1 once the service is stopped or not registered and its process has
; ended, else 0. A process that has reported STOPPED may still run for a while: until it ends,
; the files it runs from cannot be replaced and the service cannot be started again.
Function ${un}StopService
  System::Store "S"
  Pop $1
  Pop $0
  Push $0
  Call ${un}ServiceState
  Pop $2
  ${If} $2 <> 0
  ${AndIf} $2 <> ${SERVICE_STOPPED}
    ; Opened before the stop, so that the id cannot meanwhile name another process.
    Push $0
    Call ${un}OpenServiceProcess
    Pop $5
    DetailPrint "Stopping the service $0"
    nsExec::ExecToLog '"$SYSDIR\sc.exe" stop "$0"'
    Pop $3
    Push $0
    Push ${SERVICE_STOPPED}
    Push $1
    Call ${un}WaitForServiceState
    Pop $2
    ${If} $5 P<> 0
      ${If} $2 = 0
      ${OrIf} $2 = ${SERVICE_STOPPED}
        System::Call "kernel32::WaitForSingleObject(p r5, i r1) i.r6"
        ${If} $6 <> ${WAIT_OBJECT_0}
          DetailPrint "The process of the service $0 does not end."
          StrCpy $2 ${SERVICE_STOP_PENDING}
        ${EndIf}
      ${EndIf}
      System::Call "kernel32::CloseHandle(p r5)"
    ${EndIf}
  ${EndIf}
  ${If} $2 = 0
  ${OrIf} $2 = ${SERVICE_STOPPED}
    Push 1
  ${Else}
    Push 0
  ${EndIf}
  System::Store "L"
FunctionEnd
!macroend

!insertmacro SERVICE_FUNCTIONS ""
!insertmacro SERVICE_FUNCTIONS "un."
