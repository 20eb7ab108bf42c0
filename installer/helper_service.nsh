; The tunnel helper service "DAVIZATunnelHelper": its registration and start (Setup), and the
; tunnel it drives and its removal (the uninstaller).

!define HELPER_SERVICE "DAVIZATunnelHelper"
!define HELPER_DISPLAY_NAME "ZEQ VPN Tunnel Helper"
!define HELPER_PIPE "\\.\pipe\DAVIZA.TunnelHelper"
; "WireGuardTunnel$daviza", with the dollar sign escaped for NSIS.
!define TUNNEL_SERVICE "WireGuardTunnel$$daviza"
!define TUNNEL_NAME "daviza"
; A stop waits for a tunnel command the service is carrying out (up to 15 s) and for its own end.
!define HELPER_STOP_LIMIT_MS 45000
!define HELPER_START_LIMIT_MS 30000
!define TUNNEL_STOP_LIMIT_MS 30000
!define SC_TIMEOUT_MS 30000

!define GENERIC_READ_WRITE 0xC0000000
; SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION: the server may learn who the client is, but not
; act as the client.
!define PIPE_CLIENT_IDENTIFICATION_ONLY 0x00110000
!define PIPE_READMODE_MESSAGE 2

; Runs sc.exe with `arguments`; sets the error flag unless it exits with 0.
!macro RunServiceControl arguments
  nsExec::ExecToLog /TIMEOUT=${SC_TIMEOUT_MS} '"$SYSDIR\sc.exe" ${arguments}'
  Pop $R9
  ${If} $R9 != 0
    DetailPrint `sc.exe ${arguments}: $R9`
    SetErrors
  ${EndIf}
!macroend

; () -> 1 once the service is registered as it should be: own process, started automatically as
; LocalSystem from the install folder, with its description, restart on failure and access rights
; (setup_helper.exe sets those, as for the Windows Installer package); else 0.
Function RegisterHelperService
  System::Store "S"
  ClearErrors
  Push "${HELPER_SERVICE}"
  Call ServiceState
  Pop $1
  ${If} $1 = 0
    !insertmacro RunServiceControl 'create ${HELPER_SERVICE} binpath= "\"$INSTDIR\tunnel_helper.exe\"" \
type= own start= auto obj= LocalSystem DisplayName= "${HELPER_DISPLAY_NAME}"'
  ${EndIf}
  ExecWait '"$PLUGINSDIR\setup_helper.exe" configure-service "$INSTDIR\tunnel_helper.exe"' $0
  ${If} $0 <> 0
    DetailPrint "The service ${HELPER_SERVICE} could not be configured."
    SetErrors
  ${EndIf}
  ${If} ${Errors}
    Push 0
  ${Else}
    Push 1
  ${EndIf}
  System::Store "L"
FunctionEnd

; () -> 1 once the service runs (its pipe is open by then), else 0.
Function StartHelperService
  System::Store "S"
  DetailPrint "Starting the service ${HELPER_SERVICE}"
  nsExec::ExecToLog /TIMEOUT=${SC_TIMEOUT_MS} '"$SYSDIR\sc.exe" start ${HELPER_SERVICE}'
  Pop $0
  Push "${HELPER_SERVICE}"
  Push ${SERVICE_RUNNING}
  Push ${HELPER_START_LIMIT_MS}
  Call WaitForServiceState
  Pop $1
  ${If} $1 = ${SERVICE_RUNNING}
    Push 1
  ${Else}
    Push 0
  ${EndIf}
  System::Store "L"
FunctionEnd

; Ends a tunnel the product left running: through the service, as the app's Disconnect does, and
; when the service cannot do it, with WireGuard itself.
Function un.StopTunnel
  System::Store "S"
  Push "${TUNNEL_SERVICE}"
  Call un.ServiceState
  Pop $0
  ${If} $0 <> 0
    DetailPrint "Stopping the tunnel ${TUNNEL_NAME}"
    StrCpy $1 '{"command":"stop"}'
    StrLen $2 $1
    System::Alloc 1024
    Pop $3
    ; One request and its answer in message mode, as the app sends them; up to 5 s for the pipe.
    ; Identification only: an administrator's full impersonation is not handed to whatever serves
    ; the pipe. The service answers a request it did not get in time (it gives a client a fraction
    ; of a second) without carrying it out: such a request, or one it let go of, goes once more.
    StrCpy $8 "${HELPER_PIPE}"
    StrCpy $R2 '{"ok":false,"message":"Failed to read request'
    StrLen $R3 $R2
    StrCpy $R0 0
    ${Do}
      IntOp $R0 $R0 + 1
      StrCpy $7 ""
      System::Call "kernel32::WaitNamedPipeW(w r8, i 5000) i.r5 ?e"
      Pop $6
      ${If} $5 <> 0
        System::Call "kernel32::CreateFileW(w r8, i ${GENERIC_READ_WRITE}, i 0, p 0, \
i ${OPEN_EXISTING}, i ${PIPE_CLIENT_IDENTIFICATION_ONLY}, p 0) p.r9 ?e"
        Pop $6
        StrCpy $5 0
        ${If} $9 P<> -1
          System::Call "kernel32::SetNamedPipeHandleState(p r9, *i ${PIPE_READMODE_MESSAGE}, \
p 0, p 0) i.r5 ?e"
          Pop $6
          ${If} $5 <> 0
            System::Call "kernel32::TransactNamedPipe(p r9, m r1, i r2, p r3, i 1023, *i .r4, \
p 0) i.r5 ?e"
            Pop $6
          ${EndIf}
          System::Call "kernel32::CloseHandle(p r9)"
        ${EndIf}
      ${EndIf}
      ${If} $5 <> 0
        System::Call "*$3(&m1024 .r7)"
        StrCpy $R1 $7 $R3
      ${Else}
        StrCpy $R1 $R2
      ${EndIf}
      ${If} $R0 >= 2
        StrCpy $R1 ""
      ${EndIf}
    ${LoopUntil} $R1 != $R2
    ${If} $5 <> 0
      DetailPrint "The tunnel helper service answered: $7"
    ${Else}
      DetailPrint "The tunnel helper service did not answer: $6"
    ${EndIf}
    System::Free $3
    Push "${TUNNEL_SERVICE}"
    Call un.ServiceState
    Pop $0
    StrCpy $8 "$PROGRAMFILES64\WireGuard\wireguard.exe"
    ${If} $0 <> 0
    ${AndIf} ${FileExists} $8
      nsExec::ExecToLog /TIMEOUT=${TUNNEL_STOP_LIMIT_MS} \
        '"$8" /uninstalltunnelservice ${TUNNEL_NAME}'
      Pop $9
    ${EndIf}
    Push "${TUNNEL_SERVICE}"
    Push ${SERVICE_STOPPED}
    Push ${TUNNEL_STOP_LIMIT_MS}
    Call un.WaitForServiceState
    Pop $0
    ${If} $0 <> 0
    ${AndIf} $0 <> ${SERVICE_STOPPED}
      DetailPrint "The tunnel ${TUNNEL_NAME} still runs."
    ${EndIf}
  ${EndIf}
  System::Store "L"
FunctionEnd

; Stops and deletes the service; a service that will not stop is deleted all the same, and goes
; when its process ends.
Function un.RemoveHelperService
  System::Store "S"
  Push "${HELPER_SERVICE}"
  Push ${HELPER_STOP_LIMIT_MS}
  Call un.StopService
  Pop $0
  ${If} $0 = 0
    DetailPrint "The service ${HELPER_SERVICE} does not stop."
  ${EndIf}
  Push "${HELPER_SERVICE}"
  Call un.ServiceState
  Pop $0
  ${If} $0 <> 0
    nsExec::ExecToLog /TIMEOUT=${SC_TIMEOUT_MS} '"$SYSDIR\sc.exe" delete ${HELPER_SERVICE}'
    Pop $1
    Push "${HELPER_SERVICE}"
    Push 0
    Push 10000
    Call un.WaitForServiceState
    Pop $0
  ${EndIf}
  System::Store "L"
FunctionEnd
