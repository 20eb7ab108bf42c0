; Removal of what the product made, by name and nothing else, for the uninstaller and for Setup
; over an earlier install. Any user may create folders under ProgramData and put links in them; a
; link followed by an administrator's recursive delete deletes what it points to. So:
; - a file or folder is removed only when its name is on a list of ours, and a folder only when it
;   is empty once those are gone;
; - nothing is removed below a folder that is missing, not a folder, or a link, and a folder is
;   held open while its files are removed, so that it cannot meanwhile be renamed or replaced;
; - a link at a name of ours is removed as a link (on Windows RemoveDirectoryW and DeleteFileW
;   remove a link, never what it points to), and anything else is left where it is and reported.
;
; A list is a macro made of OwnFile and OwnFolder ... OwnFolderEnd entries, names relative to the
; folder they stand in (see product_data.nsh and the generated installed_bundle.nsh). It is
; walked between OwnRoot and LeaveOwnFolder (removes the root folder too, when empty) or
; ReleaseOwnFolder (keeps it).

!define GENERIC_READ 0x80000000
!define FILE_SHARE_READ_WRITE 3
!define OPEN_EXISTING 3
; FILE_FLAG_BACKUP_SEMANTICS (a folder) | FILE_FLAG_OPEN_REPARSE_POINT (a link itself).
!define OPEN_FOLDER_ITSELF 0x02200000
!define INVALID_FILE_ATTRIBUTES -1
!define FILE_ATTRIBUTE_DIRECTORY 0x10
!define FILE_ATTRIBUTE_REPARSE_POINT 0x400
!define MOVEFILE_DELAY_UNTIL_REBOOT 4

; The walk's current folder: its path, its handle (0 when nothing below it may be removed), and the
; names of its entries that are ours, as "|name|name|". Those of the folders around it are on the
; stack. OwnReboot is 1 when what cannot be removed now goes when Windows restarts.
Var OwnPath
Var OwnHandle
Var OwnNames
Var OwnReboot

!macro _OwnCall function
  !ifdef __UNINSTALL__
    Call un.${function}
  !else
    Call ${function}
  !endif
!macroend

; `path`: a folder to walk; `reboot`: 1 to leave what is in use to Windows' restart.
!macro OwnRoot path reboot
  Push "${path}"
  Push ${reboot}
  !insertmacro _OwnCall EnterOwnRoot
!macroend

!macro OwnFile name
  Push "${name}"
  !insertmacro _OwnCall RemoveOwnFile
!macroend

!macro OwnFolder name
  Push "${name}"
  !insertmacro _OwnCall EnterOwnFolder
!macroend

!macro OwnFolderEnd
  !insertmacro _OwnCall LeaveOwnFolder
!macroend

!macro OWN_FILE_FUNCTIONS un
; (path) -> a handle that holds the folder at `path`, or 0 when there is none or it is a link. Opened
; with read access and without FILE_SHARE_DELETE, so that the sharing is enforced and nobody can
; rename or delete the folder while the handle is open. The handle's own attributes catch, on
; Windows, a link swapped in after the check by path (which is the one Wine shows).
Function ${un}HoldOwnFolder
  System::Store "S"
  Pop $0
  StrCpy $9 0
  System::Call "kernel32::GetFileAttributesW(w r0) i.r1"
  IntOp $2 $1 & ${FILE_ATTRIBUTE_REPARSE_POINT}
  IntOp $3 $1 & ${FILE_ATTRIBUTE_DIRECTORY}
  ${If} $1 = ${INVALID_FILE_ATTRIBUTES}
  ${ElseIf} $2 <> 0
    DetailPrint "Left as it is: $0 is a link."
  ${ElseIf} $3 = 0
    DetailPrint "Left as it is: $0 is not a folder."
  ${Else}
    System::Call "kernel32::CreateFileW(w r0, i ${GENERIC_READ}, i ${FILE_SHARE_READ_WRITE}, p 0, \
i ${OPEN_EXISTING}, i ${OPEN_FOLDER_ITSELF}, p 0) p.r4 ?e"
    Pop $5
    ${If} $4 P= -1
      DetailPrint "Left as it is: $0 cannot be opened: $5"
    ${Else}
      ; BY_HANDLE_FILE_INFORMATION: 52 bytes, the attributes first.
      System::Alloc 52
      Pop $6
      System::Call "kernel32::GetFileInformationByHandle(p r4, p r6) i.r7"
      System::Call "*$6(i.r1)"
      System::Free $6
      IntOp $2 $1 & ${FILE_ATTRIBUTE_REPARSE_POINT}
      ${If} $7 <> 0
      ${AndIf} $2 = 0
        StrCpy $9 $4
      ${Else}
        System::Call "kernel32::CloseHandle(p r4)"
        DetailPrint "Left as it is: $0 is a link."
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Push $9
  System::Store "L"
FunctionEnd

; (path) Removes a link that stands at a name of ours, and reports what became of it.
Function ${un}RemoveOwnLink
  System::Store "S"
  Pop $0
  System::Call "kernel32::GetFileAttributesW(w r0) i.r1"
  IntOp $1 $1 & ${FILE_ATTRIBUTE_DIRECTORY}
  ${If} $1 <> 0
    System::Call "kernel32::RemoveDirectoryW(w r0) i.r2 ?e"
  ${Else}
    System::Call "kernel32::DeleteFileW(w r0) i.r2 ?e"
  ${EndIf}
  Pop $3
  ${If} $2 <> 0
    DetailPrint "Removed the link $0; what it pointed to is left as it is."
  ${Else}
    DetailPrint "Left as it is: the link $0 (it cannot be removed: $3)."
  ${EndIf}
  System::Store "L"
FunctionEnd

; (path, reboot) Starts a walk at the folder `path`.
Function ${un}EnterOwnRoot
  System::Store "S"
  Pop $1
  Pop $0
  Push $OwnPath
  Push $OwnHandle
  Push $OwnNames
  StrCpy $OwnReboot $1
  StrCpy $OwnPath $0
  StrCpy $OwnNames "|"
  Push $0
  Call ${un}HoldOwnFolder
  Pop $OwnHandle
  System::Store "L"
FunctionEnd

; (name) Makes the folder `name` in the current one current.
Function ${un}EnterOwnFolder
  System::Store "S"
  Pop $0
  StrCpy $OwnNames "$OwnNames$0|"
  Push $OwnPath
  Push $OwnHandle
  Push $OwnNames
  StrCpy $1 "$OwnPath\$0"
  StrCpy $2 $OwnHandle
  StrCpy $OwnPath $1
  StrCpy $OwnHandle 0
  StrCpy $OwnNames "|"
  ${If} $2 P<> 0
    System::Call "kernel32::GetFileAttributesW(w r1) i.r3"
    IntOp $4 $3 & ${FILE_ATTRIBUTE_REPARSE_POINT}
    ${If} $3 <> ${INVALID_FILE_ATTRIBUTES}
    ${AndIf} $4 <> 0
      Push $1
      Call ${un}RemoveOwnLink
    ${Else}
      Push $1
      Call ${un}HoldOwnFolder
      Pop $OwnHandle
    ${EndIf}
  ${EndIf}
  System::Store "L"
FunctionEnd

; (name) Removes the file `name` of the current folder: a file, or a link in its place.
Function ${un}RemoveOwnFile
  System::Store "S"
  Pop $0
  StrCpy $OwnNames "$OwnNames$0|"
  StrCpy $1 "$OwnPath\$0"
  ${If} $OwnHandle P<> 0
    System::Call "kernel32::GetFileAttributesW(w r1) i.r2"
    IntOp $3 $2 & ${FILE_ATTRIBUTE_REPARSE_POINT}
    IntOp $4 $2 & ${FILE_ATTRIBUTE_DIRECTORY}
    ${If} $2 = ${INVALID_FILE_ATTRIBUTES}
    ${ElseIf} $3 <> 0
      Push $1
      Call ${un}RemoveOwnLink
    ${ElseIf} $4 <> 0
      DetailPrint "Left as it is: $1 is a folder."
    ${Else}
      System::Call "kernel32::DeleteFileW(w r1) i.r5 ?e"
      Pop $6
      ${If} $5 <> 0
        DetailPrint "Removed $1"
      ${ElseIf} $OwnReboot = 1
        System::Call "kernel32::MoveFileExW(w r1, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT})"
        SetRebootFlag true
        DetailPrint "$1 is in use; it goes when Windows restarts."
      ${Else}
        DetailPrint "$1 cannot be removed: $6"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  System::Store "L"
FunctionEnd

; () Goes back to the folder around the current one, keeping the current one.
Function ${un}ReleaseOwnFolder
  ${If} $OwnHandle P<> 0
    System::Call "kernel32::CloseHandle(p $OwnHandle)"
  ${EndIf}
  Pop $OwnNames
  Pop $OwnHandle
  Pop $OwnPath
FunctionEnd

; () Removes the current folder when nothing is left in it, reports what is left of others, and
; goes back to the folder around it.
Function ${un}LeaveOwnFolder
  System::Store "S"
  ${If} $OwnHandle P<> 0
    System::Call "kernel32::CloseHandle(p $OwnHandle)"
    StrCpy $OwnHandle 0
    StrCpy $0 $OwnPath
    System::Call "kernel32::RemoveDirectoryW(w r0) i.r1 ?e"
    Pop $2
    ${If} $1 = 0
      ; Names of ours that are left have been reported already.
      StrCpy $7 $OwnNames
      FindFirst $3 $4 "$0\*"
      ${DoWhile} $4 != ""
        StrCpy $5 "|$4|"
        System::Call "shlwapi::StrStrIW(w r7, w r5) p.r6"
        ${If} $6 P= 0
        ${AndIf} $4 != "."
        ${AndIf} $4 != ".."
          DetailPrint "Left as it is: $0\$4 (not made by ${PRODUCT_NAME})."
        ${EndIf}
        FindNext $3 $4
      ${Loop}
      FindClose $3
      ${If} $OwnReboot = 1
        System::Call "kernel32::MoveFileExW(w r0, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT})"
        SetRebootFlag true
        DetailPrint "$0 is kept until Windows restarts: $2"
      ${Else}
        DetailPrint "$0 is kept: $2"
      ${EndIf}
    ${Else}
      DetailPrint "Removed $0"
    ${EndIf}
  ${EndIf}
  Call ${un}ReleaseOwnFolder
  System::Store "L"
FunctionEnd
!macroend

!insertmacro OWN_FILE_FUNCTIONS ""
!insertmacro OWN_FILE_FUNCTIONS "un."
