# The Tunnel channel: its logic natively and under Wine, and under Wine its handler over the real
# pipe client with the service stopped.
zeq_add_test_program(tunnel_channel_test
  SOURCES tunnel_channel_test.cpp
  LIBRARIES app_tunnel_channel flutter_glue_test_support common_protocol)

if(WIN32)
  zeq_add_test_program(tunnel_channel_wine_test
    SOURCES tunnel_channel_wine_test.cpp
    LIBRARIES app_tunnel_channel test_support_windows
    PROPERTIES RESOURCE_LOCK helper_service)
endif()
