; The uninstaller: ends the tunnel, removes the service, the files, the shortcut, the private key
; in ProgramData and the user's link registration, and last the Apps & features entry, so that an
; uninstall that stops half-way can be run again from there. The bundled WireGuard stays: other
; programs may use it. Files and folders go by name only (see own_files.nsh).

Function un.onInit
  SetShellVarContext all
  !insertmacro RequireAdministrator
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningApp
  Call un.StopTunnel
  Call un.RemoveHelperService

  !insertmacro OwnRoot "$INSTDIR" 1
  !insertmacro OwnFile "zeq_vpn.exe"
  !insertmacro OwnFile "flutter_windows.dll"
  !insertmacro OwnFile "url_launcher_windows_plugin.dll"
  !insertmacro OwnFile "tunnel_helper.exe"
  !insertmacro OwnFile "uninstall.exe"
  !insertmacro INSTALLED_BUNDLE
  Call un.LeaveOwnFolder
  Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

  ; The tunnel's config with its private key.
  !insertmacro OwnRoot "$APPDATA\${PRODUCT_NAME}" 0
  !insertmacro PRODUCT_DATA
  Call un.LeaveOwnFolder

  ; The "daviza:" link protocol, as the app registers it for its user on every start.
  DeleteRegKey HKCU "Software\Classes\daviza"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
