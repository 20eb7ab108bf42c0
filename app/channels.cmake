# The method channels' handlers. The Tunnel channel's logic is platform-free and also builds
# natively for tests; on Windows it sends through the pipe client.
add_library(app_tunnel_channel STATIC tunnel_channel.cpp)
target_include_directories(app_tunnel_channel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(app_tunnel_channel PUBLIC flutter_glue_codec common_protocol)
if(WIN32)
  target_link_libraries(app_tunnel_channel PUBLIC app_tunnel_helper_client)
endif()
