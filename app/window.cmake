# The top-level window, and the app program's resources: the icon and the manifest. The app
# program links `app_win32_window` and the object library `zeq_vpn_resources`.
if(WIN32)
  add_library(app_win32_window STATIC dark_mode.cpp win32_window.cpp)
  target_include_directories(app_win32_window PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(app_win32_window PUBLIC flutter_windows dwmapi user32 advapi32)

  enable_language(RC)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  set(app_icon ${CMAKE_CURRENT_BINARY_DIR}/app_icon.ico)
  add_custom_command(
    OUTPUT ${app_icon}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make-icon ${app_icon}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make-icon
    COMMENT "Drawing the app's icon")
  add_custom_target(app_icon DEPENDS ${app_icon})
  add_library(zeq_vpn_resources OBJECT zeq_vpn.rc)
  add_dependencies(zeq_vpn_resources app_icon)
  set_source_files_properties(zeq_vpn.rc PROPERTIES
    OBJECT_DEPENDS "${app_icon};${CMAKE_CURRENT_SOURCE_DIR}/zeq_vpn.manifest")
  target_include_directories(zeq_vpn_resources PRIVATE
    ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
endif()
