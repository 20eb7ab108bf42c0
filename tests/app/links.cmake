# Sign-in links. The queue's rules and the App channel run natively and under Wine; under Wine
# also the queue file, its lock between real processes, and the link protocol in the registry.
zeq_add_test_program(auth_callback_queue_test
  SOURCES auth_callback_queue_test.cpp app_channel_test.cpp
  LIBRARIES app_channel flutter_glue_test_support)

if(WIN32)
  # A later start of the app as far as the queue goes: appends links, or dies holding the lock.
  add_executable(auth_queue_client auth_queue_client.cpp)
  target_link_options(auth_queue_client PRIVATE -municode)
  target_link_libraries(auth_queue_client PRIVATE app_auth_callbacks)

  zeq_add_test_program(auth_queue_wine_test
    SOURCES auth_queue_file_test.cpp auth_queue_processes_test.cpp
    LIBRARIES app_channel test_support_windows
    PROPERTIES RESOURCE_LOCK auth_queue)
  add_dependencies(auth_queue_wine_test auth_queue_client)

  # A save cut short as on a full disk: sh limits the test's files to 1 KiB (two 512-byte
  # blocks) and ignores the signal that would end it, so writes beyond fail.
  add_executable(auth_queue_save_test auth_queue_save_test.cpp)
  target_include_directories(auth_queue_save_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(auth_queue_save_test PRIVATE
    GTest::gtest GTest::gtest_main app_auth_callbacks test_support_windows)
  add_test(NAME auth_queue_save_cut_short
    COMMAND sh -c "trap '' XFSZ; ulimit -f 2; exec \"$@\""
            sh ${PROJECT_SOURCE_DIR}/tools/wine-run $<TARGET_FILE:auth_queue_save_test>)
  set_tests_properties(auth_queue_save_cut_short PROPERTIES RESOURCE_LOCK auth_queue)

  # Wine starts no program from a path of 260 characters or more, but wine itself does: ctest
  # runs copies of this test from a path with blanks and from a long path, one after the other.
  add_executable(link_protocol_test link_protocol_test.cpp)
  target_include_directories(link_protocol_test PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(link_protocol_test PRIVATE
    GTest::gtest GTest::gtest_main app_link_protocol test_support_windows)
  string(REPEAT "d" 100 deep)
  foreach(case IN ITEMS with_blanks long_path)
    if(case STREQUAL "with_blanks")
      set(copy "${CMAKE_BINARY_DIR}/link protocol/Program Files/ZEQ VPN/zeq vpn.exe")
    else()
      set(copy "${CMAKE_BINARY_DIR}/link protocol/${deep}/${deep}/${deep}/zeq_vpn.exe")
    endif()
    string(REPLACE "/" "\\" windows_copy "Z:${copy}")
    add_test(NAME link_protocol_copy_${case}
      COMMAND sh -c "mkdir -p \"$(dirname \"$2\")\" && cp \"$1\" \"$2\""
              sh $<TARGET_FILE:link_protocol_test> "${copy}")
    set_tests_properties(link_protocol_copy_${case} PROPERTIES FIXTURES_SETUP link_copy_${case})
    add_test(NAME link_protocol_${case} COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-run "${copy}")
    set_tests_properties(link_protocol_${case} PROPERTIES
      FIXTURES_REQUIRED link_copy_${case}
      RESOURCE_LOCK link_protocol_registry
      ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;ZEQ_LINK_TEST_PROGRAM=${windows_copy}")
  endforeach()
endif()
