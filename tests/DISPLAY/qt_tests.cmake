# Image windows painted by the display engine and shown through the Qt
# adapter on the offscreen platform; screenshots in the build tree.
if(TARGET rastrix_qt)
  find_package(Qt6 QUIET COMPONENTS Widgets Test)
  add_executable(display_qt_tests ${CMAKE_CURRENT_LIST_DIR}/qt/test_display_qt.cpp)
  set_target_properties(display_qt_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(display_qt_tests PRIVATE rastrix_qt rastrix_engine Qt6::Test)
  target_compile_definitions(display_qt_tests PRIVATE RX_UI_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/ui-screenshots")
  rx_warnings(display_qt_tests)
  target_compile_options(display_qt_tests PRIVATE -Wno-conversion -Wno-null-dereference)
  add_test(NAME display.qt_image_window COMMAND display_qt_tests)
  set_tests_properties(display.qt_image_window PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
