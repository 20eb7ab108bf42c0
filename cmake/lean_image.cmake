# zeq_lean_image(<target>): lays out a Windows program or library so that Wine starts it cheaply;
# Windows maps it the same either way.
# - Its sections start on page boundaries in the file too: Wine maps such a section straight from
#   the file and reads only the pages that are used, but copies a section that MinGW put at its
#   default 512-byte alignment whole into fresh memory at every load.
# - Its debug information and symbol table move out of it, into "<file>.debug" beside it, where
#   debuggers find them by the link left in their place; they are most of the file and would be
#   read and held for nothing.
function(zeq_lean_image target)
  target_link_options(${target} PRIVATE -Wl,--file-alignment=0x1000)
  set(file $<TARGET_FILE_NAME:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
