# zeq_split_debug_info(<target>): moves the debug information and the symbol table of a Windows
# program or library out of it, into "<file>.debug" beside it, where debuggers find them by the link
# left in their place. Wine reads a program's whole image, and each library's, at every start; they
# are most of each and would be read and held for nothing.
function(zeq_split_debug_info target)
  set(file $<TARGET_FILE_NAME:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
