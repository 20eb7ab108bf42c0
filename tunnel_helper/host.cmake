add_library(tunnel_helper_host STATIC
  service_status.cpp
  pipe_io.cpp
  pipe_server.cpp
  service_host.cpp)
target_include_directories(tunnel_helper_host PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tunnel_helper_host PUBLIC common_windows advapi32)

add_executable(tunnel_helper WIN32 main.cpp)
target_link_options(tunnel_helper PRIVATE -municode)
target_link_libraries(tunnel_helper PRIVATE tunnel_helper_host tunnel_operations)
