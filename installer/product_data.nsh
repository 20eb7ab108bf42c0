; What the service writes under "ProgramData\ZEQ VPN": the tunnel's config with its private key,
; and the file it is first written to. A list for own_files.nsh: the uninstaller removes these and
; nothing else there.
!define PRODUCT_CONFIG_FOLDER "wireguard"

!macro PRODUCT_DATA
  !insertmacro OwnFolder "${PRODUCT_CONFIG_FOLDER}"
    !insertmacro OwnFile "daviza.conf"
    !insertmacro OwnFile "daviza.conf.tmp"
  !insertmacro OwnFolderEnd
!macroend
