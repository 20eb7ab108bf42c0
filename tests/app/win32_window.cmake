# The top-level window under Wine with the stand-in embedding's DPI seam, and the app's resources
# linked in as the app program links them.
if(WIN32)
  zeq_add_test_program(win32_window_test
    SOURCES win32_window_test.cpp
    LIBRARIES app_win32_window zeq_vpn_resources test_support_windows)
endif()
