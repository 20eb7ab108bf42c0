; ZEQ-VPN-Setup.exe: installs ZEQ VPN, upgrades an installed version in place, and writes the
; uninstaller that removes it. installer/CMakeLists.txt builds it with these defines:
;   VERSION       the product version, x.y.z
;   STAGE_DIR     what is installed: the programs, the libraries, data\ and wireguard.exe
;   BUNDLE_NAMES  the list of data\'s files and folders, written by bundle_names.cmake
;   ICON          the app's icon, for Setup and the uninstaller
;   OUT_FILE      the Setup program to write
;   SIGN_FILE     when given, the command that signs a program in place: Setup and the uninstaller
;                 are signed as they are written, and the signed uninstaller is kept in STAGE_DIR
; Both take /S for a silent run (managed installs); an error then ends them with a non-zero code.
Unicode true
Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
; A file that cannot be replaced fails the install rather than leaving a mix of two versions.
AllowSkipFiles off

!define PRODUCT_NAME "ZEQ VPN"
!define PUBLISHER "DAVIZA"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_NAME}"
!define ERROR_ELEVATION_REQUIRED 740

!addincludedir "${__FILEDIR__}"
!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include service.nsh
!include own_files.nsh
!include helper_service.nsh
!include product_data.nsh
!include "${BUNDLE_NAMES}"

Name "${PRODUCT_NAME}"
OutFile "${OUT_FILE}"
!ifdef SIGN_FILE
  !finalize '"${SIGN_FILE}" "%1"'
  !uninstfinalize '"${SIGN_FILE}" "%1"'
  !uninstfinalize 'cp "%1" "${STAGE_DIR}/uninstall.exe"'
!endif
; Fixed rather than chosen: the service runs as LocalSystem from this folder, so it must be one
; that only administrators can change. A folder made elsewhere (C:\ZEQ, say) lets every user
; change what it holds.
!define INSTALL_FOLDER "$PROGRAMFILES64\${PRODUCT_NAME}"
InstallDir "${INSTALL_FOLDER}"
BrandingText "${PRODUCT_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

; Ends Setup or the uninstaller, shown to the user unless silent, with the error level `code`.
!macro Fail message code
  DetailPrint "${message}"
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel ${code}
  Abort
!macroend

; Administrators only: the service, Program Files and the machine's registry are theirs. Windows
; elevates on the manifest's request; this catches a start that was not elevated all the same.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME} can only be installed or removed by an \
administrator." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

; The app's processes run from the install folder, whose files are about to change. Asked to close
; (the app exits as when its user closes it), they get a while to do so; a silent run then ends
; them, an interactive one stops with a message instead. Sets $AppWasClosed to 1 when one ran.
; Called first: it also puts setup_helper.exe in $PLUGINSDIR for the steps after it.
Var AppWasClosed
!macro CLOSE_RUNNING_APP un again
Function ${un}CloseRunningApp
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${STAGE_DIR}/setup_helper.exe"
  StrCpy $0 ""
  ${If} ${Silent}
    StrCpy $0 " /force"
  ${EndIf}
  ClearErrors
  ExecWait '"$PLUGINSDIR\setup_helper.exe" close-apps "$INSTDIR\zeq_vpn.exe"$0' $1
  ${If} ${Errors}
  ${OrIf} $1 > 1
    !insertmacro Fail "${PRODUCT_NAME} is still running and does not close. Close it and run \
${again} again." 1
  ${EndIf}
  StrCpy $AppWasClosed $1
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_APP "" "Setup"
!insertmacro CLOSE_RUNNING_APP "un." "the uninstaller"

Function .onInit
  SetShellVarContext all
  !insertmacro RequireAdministrator
  ; Over what "/D=" asked for.
  StrCpy $INSTDIR "${INSTALL_FOLDER}"
FunctionEnd

; An install that failed after stopping the service of an earlier one leaves that service running.
Function .onInstFailed
  Push "${HELPER_SERVICE}"
  Call ServiceState
  Pop $0
  ${If} $0 = ${SERVICE_STOPPED}
    Call StartHelperService
    Pop $0
  ${EndIf}
FunctionEnd

Section "${PRODUCT_NAME}"
  SectionIn RO
  Call CloseRunningApp
  ; Over an installed version: the service lets go of its program. A tunnel it started runs on,
  ; and its config in ProgramData stays as it is.
  Push "${HELPER_SERVICE}"
  Push ${HELPER_STOP_LIMIT_MS}
  Call StopService
  Pop $0
  ${If} $0 = 0
    !insertmacro Fail "The service ${HELPER_SERVICE} does not stop, so ${PRODUCT_NAME} cannot \
be updated. Restart Windows and run Setup again." 1
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/zeq_vpn.exe"
  File "${STAGE_DIR}/flutter_windows.dll"
  File "${STAGE_DIR}/url_launcher_windows_plugin.dll"
  File "${STAGE_DIR}/tunnel_helper.exe"
  ; What an earlier install left of the bundle goes first, by name, so that nothing is written
  ; through a link in its place.
  !insertmacro OwnRoot "$INSTDIR" 0
  !insertmacro INSTALLED_BUNDLE
  Call ReleaseOwnFolder
  File /r "${STAGE_DIR}/data"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Written before the service is started, so that an install that fails from here on can still
  ; be removed from Apps & features.
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zeq_vpn.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; WireGuard for Windows, where the service looks for it. One already there stays as it is.
  ${IfNot} ${FileExists} "$PROGRAMFILES64\WireGuard\wireguard.exe"
    SetOutPath "$PROGRAMFILES64\WireGuard"
    File "${STAGE_DIR}/wireguard.exe"
  ${EndIf}

  ; Before any user could make them, so that nothing a user made later can stand in their place.
  ExecWait '"$PLUGINSDIR\setup_helper.exe" create-data-folders' $0
  ${If} $0 <> 0
    DetailPrint "The service's folders in $APPDATA could not all be made; it makes them itself."
  ${EndIf}

  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\zeq_vpn.exe"

  Call RegisterHelperService
  Pop $0
  ${If} $0 = 0
    !insertmacro Fail "The service ${HELPER_SERVICE} could not be registered." 1
  ${EndIf}
  Call StartHelperService
  Pop $0
  ${If} $0 = 0
    !insertmacro Fail "The service ${HELPER_SERVICE} does not start." 1
  ${EndIf}

  ; Back for its user, who saw it close; not elevated, as Setup is.
  ${If} $AppWasClosed = 1
  ${AndIfNot} ${Silent}
    ExecWait '"$PLUGINSDIR\setup_helper.exe" start-app "$INSTDIR\zeq_vpn.exe"'
  ${EndIf}
SectionEnd

!include uninstall.nsh
