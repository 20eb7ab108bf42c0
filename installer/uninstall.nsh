; The uninstaller: ends the tunnel, removes the service, the files, the shortcut, the private key
; in ProgramData and the user's link registration, and last the Apps & features entry, so that an
; uninstall that stops half-way can be run again from there. The bundled WireGuard stays: other
; programs may use it.

!define FILE_ATTRIBUTE_REPARSE_POINT 0x400

Function un.onInit
  SetShellVarContext all
  !insertmacro RequireAdministrator
FunctionEnd

Section "Uninstall"
  Call un.StopTunnel
  Call un.RemoveHelperService

  ; A program still running (the app in some session) goes when Windows restarts.
  Delete /REBOOTOK "$INSTDIR\zeq_vpn.exe"
  Delete /REBOOTOK "$INSTDIR\flutter_windows.dll"
  Delete /REBOOTOK "$INSTDIR\url_launcher_windows_plugin.dll"
  Delete /REBOOTOK "$INSTDIR\tunnel_helper.exe"
  RMDir /r /REBOOTOK "$INSTDIR\data"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

  ; The tunnel's config with its private key. A link in its place is left alone: the service
  ; never writes through one, and what it points to is not ours.
  StrCpy $0 "$APPDATA\${PRODUCT_NAME}"
  System::Call "kernel32::GetFileAttributesW(w r0) i.r1"
  ${If} $1 <> -1
    IntOp $2 $1 & ${FILE_ATTRIBUTE_REPARSE_POINT}
    ${If} $2 = 0
      RMDir /r "$0"
    ${EndIf}
  ${EndIf}

  ; The "daviza:" link protocol, as the app registers it for its user on every start.
  DeleteRegKey HKCU "Software\Classes\daviza"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
