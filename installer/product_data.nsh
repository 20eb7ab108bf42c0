; The service's folders under ProgramData, "ZEQ VPN" and the two inside, which Setup makes with
; setup_helper.exe as the service would, and what the service writes in them: the tunnel's config
; with its private key and the file it is first written to; its log and the log's previous
; generation. A list for own_files.nsh: the uninstaller removes these and nothing else there.
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
