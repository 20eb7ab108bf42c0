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
