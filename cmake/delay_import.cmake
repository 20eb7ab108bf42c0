# zeq_add_delay_import(<target> <def file> <dll name> <dll target or "">)
#
# A library through which a program binds <dll name> on the first call of one of its functions
# rather than at process start, made from the .def file of the functions the program calls
# (MinGW-w64's dlltool; the helper that loads it, __delayLoadHelper2, comes with MinGW's runtime).
# Linking <target> also builds <dll target>, when the library is one of ours, which the program
# needs beside it at run time.
function(zeq_add_delay_import target def_file dll_name dll_target)
  set(library ${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a)
  add_custom_command(
    OUTPUT ${library}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_CURRENT_SOURCE_DIR}/${def_file}
            --dllname ${dll_name} --output-delaylib ${library}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${def_file}
    COMMENT "Making the delay-import library of ${dll_name}")
  add_custom_target(${target}_library DEPENDS ${library})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${library})
  add_dependencies(${target} ${target}_library ${dll_target})
endfunction()
