# The Qt adapter's tests: Qt Test on the offscreen platform, screenshots of
# layer windows in the build tree.
if(TARGET rastrix_qt)
  find_package(Qt6 QUIET COMPONENTS Widgets Test)
  add_executable(platform_qt_tests ${CMAKE_CURRENT_LIST_DIR}/qt/test_qt_adapter.cpp)
  set_target_properties(platform_qt_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(platform_qt_tests PRIVATE rastrix_qt Qt6::Test)
  target_compile_definitions(platform_qt_tests PRIVATE RX_UI_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/ui-screenshots")
  rx_warnings(platform_qt_tests)
  target_compile_options(platform_qt_tests PRIVATE -Wno-conversion -Wno-null-dereference)
  add_test(NAME platform.qt_adapter COMMAND platform_qt_tests)
  set_tests_properties(platform.qt_adapter PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/qt_print_tests.cmake)
