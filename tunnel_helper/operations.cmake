# Tunnel operations: the commands and what they do to WireGuard and the machine.

# Command-line quoting needs no Windows API, so it is also built natively for tests under the
# sanitizers.
add_library(tunnel_command_line STATIC ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp)
target_include_directories(tunnel_command_line PUBLIC ${PROJECT_SOURCE_DIR})

if(WIN32)
  add_library(tunnel_operations STATIC
    ${CMAKE_CURRENT_LIST_DIR}/config_directory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_category_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_config_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tunnel_service_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wireguard_runner.cpp)
  target_include_directories(tunnel_operations PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tunnel_operations PUBLIC tunnel_command_line common_windows common_protocol)
endif()
