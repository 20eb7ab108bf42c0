; The service's folders under ProgramData, "ZEQ VPN" and the two inside, which Setup creates. What
; the service writes in them: the tunnel's config with its private key and the file it is first
; written to; its log and the log's previous generation. A list for own_files.nsh: the uninstaller
; removes these and nothing else there.
!define PRODUCT_CONFIG_FOLDER "wireguard"
!define PRODUCT_LOG_FOLDER "logs"

!macro PRODUCT_DATA
  !insertmacro OwnFolder "${PRODUCT_CONFIG_FOLDER}"
    !insertmacro OwnFile "daviza.conf"
    !insertmacro OwnFile "daviza.conf.tmp"
  !insertmacro OwnFolderEnd
  !insertmacro OwnFolder "${PRODUCT_LOG_FOLDER}"
    !insertmacro OwnFile "tunnel_helper.log"
    !insertmacro OwnFile "tunnel_helper.log.1"
  !insertmacro OwnFolderEnd
!macroend

; Full access for LocalSystem and the Administrators only, owned by the Administrators, passed on
; to everything inside and nothing inherited from above: what the service makes its folders with.
!define PRODUCT_DATA_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
!define SDDL_REVISION_1 1
!define ERROR_ALREADY_EXISTS 183

; (path) Creates the folder with PRODUCT_DATA_SDDL's descriptor. Something already there is left as
; it is: the service judges it, and sets aside what is not its own, at its next "start".
Function CreateProductDataFolder
  System::Store "S"
  Pop $0
  StrCpy $1 "${PRODUCT_DATA_SDDL}"
  System::Call "advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r1, \
i ${SDDL_REVISION_1}, *p .r2, p 0) i.r3 ?e"
  Pop $4
  ${If} $3 = 0
    DetailPrint "$0 cannot be created: $4"
  ${Else}
    ; SECURITY_ATTRIBUTES on x64: nLength, 4 bytes of padding, the descriptor, bInheritHandle and
    ; 4 bytes of padding. The System plugin does not pad.
    System::Call "*(i 24, i 0, p r2, i 0, i 0) p.r5"
    System::Call "kernel32::CreateDirectoryW(w r0, p r5) i.r3 ?e"
    Pop $4
    System::Free $5
    System::Call "kernel32::LocalFree(p r2)"
    ${If} $3 = 0
    ${AndIf} $4 <> ${ERROR_ALREADY_EXISTS}
      DetailPrint "$0 cannot be created: $4"
    ${EndIf}
  ${EndIf}
  System::Store "L"
FunctionEnd

; () Creates the service's folders at install, before any user can make them, so that nothing a
; user made later can stand in their place.
Function CreateProductDataFolders
  System::Store "S"
  StrCpy $0 "$APPDATA\${PRODUCT_NAME}"
  Push $0
  Call CreateProductDataFolder
  ; Held, so that the folder inside is made in this one and not through a link in its place.
  Push $0
  Call HoldOwnFolder
  Pop $1
  ${If} $1 P<> 0
    Push "$0\${PRODUCT_CONFIG_FOLDER}"
    Call CreateProductDataFolder
    Push "$0\${PRODUCT_LOG_FOLDER}"
    Call CreateProductDataFolder
    System::Call "kernel32::CloseHandle(p r1)"
  ${EndIf}
  System::Store "L"
FunctionEnd
