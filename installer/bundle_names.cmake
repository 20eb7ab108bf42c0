# Writes the NSIS list (see own_files.nsh) of every file and folder of the app's bundle as staged,
# so that Setup and the uninstaller remove exactly those by name. The bundle is a build product
# whose names only the build knows.
#   cmake -DBUNDLE_DIR=<stage>/data -DOUT_FILE=<list.nsh> -P bundle_names.cmake

# Appends the entries of `folder`, named `name`, to `text` in the caller's scope: its files, then
# its folders, each with what it holds.
function(append_folder folder name indent)
  string(REPLACE "$" "$$" nsis_name "${name}")
  string(APPEND text "${indent}!insertmacro OwnFolder \"${nsis_name}\"\n")
  file(GLOB entries LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/*")
  list(SORT entries)
  set(folders)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${folder}/${entry}")
      list(APPEND folders ${entry})
    else()
      string(REPLACE "$" "$$" nsis_name "${entry}")
      string(APPEND text "${indent}  !insertmacro OwnFile \"${nsis_name}\"\n")
    endif()
  endforeach()
  foreach(entry IN LISTS folders)
    append_folder("${folder}/${entry}" "${entry}" "${indent}  ")
  endforeach()
  string(APPEND text "${indent}!insertmacro OwnFolderEnd\n")
  set(text "${text}" PARENT_SCOPE)
endfunction()

set(text "; Written by bundle_names.cmake from ${BUNDLE_DIR}.\n!macro INSTALLED_BUNDLE\n")
get_filename_component(bundle_name "${BUNDLE_DIR}" NAME)
append_folder("${BUNDLE_DIR}" "${bundle_name}" "  ")
string(APPEND text "!macroend\n")
file(WRITE "${OUT_FILE}" "${text}")

# The same bundle as WiX directories and components for the Windows Installer package, when
# OUT_WXS is given: one component a file, each identified by its path (Guid="*").
if(DEFINED OUT_WXS)
  set(wix_count 0)
  function(append_wix_folder folder indent)
    file(GLOB entries LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/*")
    list(SORT entries)
    foreach(entry IN LISTS entries)
      math(EXPR wix_count "${wix_count} + 1")
      if(IS_DIRECTORY "${folder}/${entry}")
        string(APPEND wix "${indent}<Directory Id=\"BundleFolder${wix_count}\" Name=\"${entry}\">\n")
        append_wix_folder("${folder}/${entry}" "${indent}  ")
        string(APPEND wix "${indent}</Directory>\n")
      else()
        # Relative to the stage, where wixl runs: it does not take absolute paths.
        file(RELATIVE_PATH relative "${BUNDLE_DIR}/.." "${folder}/${entry}")
        string(APPEND wix "${indent}<Component Id=\"BundleFile${wix_count}\" Guid=\"*\" Win64=\"yes\">\n"
          "${indent}  <File Id=\"BundleFile${wix_count}\" Name=\"${entry}\" KeyPath=\"yes\" "
          "Source=\"${relative}\"/>\n${indent}</Component>\n")
        set_property(GLOBAL APPEND PROPERTY wix_components "BundleFile${wix_count}")
      endif()
    endforeach()
    set(wix "${wix}" PARENT_SCOPE)
    set(wix_count ${wix_count} PARENT_SCOPE)
  endfunction()
  string(CONCAT wix "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by bundle_names.cmake from ${BUNDLE_DIR}. -->\n"
    "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n  <Fragment>\n"
    "    <DirectoryRef Id=\"BundleFolder\">\n")
  append_wix_folder("${BUNDLE_DIR}" "      ")
  string(APPEND wix "    </DirectoryRef>\n    <ComponentGroup Id=\"Bundle\">\n")
  get_property(components GLOBAL PROPERTY wix_components)
  foreach(component IN LISTS components)
    string(APPEND wix "      <ComponentRef Id=\"${component}\"/>\n")
  endforeach()
  string(APPEND wix "    </ComponentGroup>\n  </Fragment>\n</Wix>\n")
  file(WRITE "${OUT_WXS}" "${wix}")
endif()
