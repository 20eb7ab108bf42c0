# Tunnel operations: the commands and what they do to WireGuard and the machine.

# The text routines need no Windows API (command-line quoting, the config's script check, the
# failure messages), so they are also built natively for tests under the sanitizers.
add_library(tunnel_helper_text STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_message.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_hooks.cpp)
target_include_directories(tunnel_helper_text PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunnel_helper_text PUBLIC common_protocol)

if(WIN32)
  add_library(tunnel_operations STATIC
    ${CMAKE_CURRENT_LIST_DIR}/config_directory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/machine_paths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_security.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_category_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_config_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_service_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wireguard_runner.cpp)
  target_include_directories(tunnel_operations PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tunnel_operations
    PUBLIC tunnel_helper_text common_windows common_protocol
    PRIVATE advapi32 shell32 ole32 uuid)
endif()
