# Sign-in links: the queue's rules natively and under Wine; under Wine also the queue file, its
# lock between real processes, the App channel, and the link protocol in the registry.
zeq_add_test_program(auth_callback_queue_test
  SOURCES auth_callback_queue_test.cpp
  LIBRARIES app_auth_callbacks)

if(NOT WIN32)
  return()
endif()

# A later start of the app as far as the queue goes: appends links, or dies holding the lock.
add_executable(auth_queue_client auth_queue_client.cpp)
target_link_options(auth_queue_client PRIVATE -municode)
target_link_libraries(auth_queue_client PRIVATE app_auth_callbacks)

# sh limits the files of these tests to 1 KiB (two 512-byte blocks) and ignores the signal that
# would end them, so a longer write fails as on a full disk.
add_executable(auth_queue_wine_test auth_queue_wine_test.cpp)
set_target_properties(auth_queue_wine_test PROPERTIES CROSSCOMPILING_EMULATOR
  "sh;-c;trap '' XFSZ && ulimit -f 2 && exec \"$@\";sh;${PROJECT_SOURCE_DIR}/tools/wine-run")
target_link_libraries(auth_queue_wine_test PRIVATE
  GTest::gtest GTest::gtest_main app_channel flutter_glue test_support_windows)
target_include_directories(auth_queue_wine_test PRIVATE ${PROJECT_SOURCE_DIR})
gtest_discover_tests(auth_queue_wine_test DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     PROPERTIES RESOURCE_LOCK auth_queue)
add_dependencies(auth_queue_wine_test auth_queue_client)

# Wine starts no program from a path of 260 characters or more, but wine itself does: ctest runs
# copies of this test from a path with blanks and from a long path, one after the other.
add_executable(link_protocol_test link_protocol_test.cpp)
target_include_directories(link_protocol_test PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(link_protocol_test PRIVATE
  GTest::gtest GTest::gtest_main app_link_protocol test_support_windows)
string(REPEAT "d" 100 deep)
set(from_path_with_blanks "${CMAKE_BINARY_DIR}/link protocol/Program Files/ZEQ VPN/zeq vpn.exe")
set(from_long_path "${CMAKE_BINARY_DIR}/link protocol/${deep}/${deep}/${deep}/zeq_vpn.exe")
foreach(case from_path_with_blanks from_long_path)
  add_custom_command(TARGET link_protocol_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:link_protocol_test> ${${case}})
  add_test(NAME link_protocol_${case} COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-run ${${case}})
  set_tests_properties(link_protocol_${case} PROPERTIES RESOURCE_LOCK link_protocol_registry
    ENVIRONMENT WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix)
endforeach()
