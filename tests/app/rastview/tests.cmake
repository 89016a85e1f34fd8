# RastView's tests: the window on the offscreen platform, and the program
# itself under an Xvfb the screenshot test starts (skipped without one).
find_package(Qt6 QUIET COMPONENTS Widgets Test)
if(Qt6_FOUND AND TARGET rastview_core)
  set(_rv_tests ${CMAKE_CURRENT_LIST_DIR})
  if(NOT DEFINED RX_TEST_CONFIG_HOME)
    set(RX_TEST_CONFIG_HOME ${CMAKE_BINARY_DIR}/test-config)
  endif()

  add_executable(rastview_window_tests ${_rv_tests}/test_rastview.cpp)
  add_executable(rastview_screen_tests ${_rv_tests}/test_rastview_screens.cpp)
  foreach(_exe rastview_window_tests rastview_screen_tests)
    set_target_properties(${_exe} PROPERTIES AUTOMOC ON)
    target_link_libraries(${_exe} PRIVATE rastview_core Qt6::Test)
    target_compile_definitions(${_exe} PRIVATE RX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    rx_warnings(${_exe})
    target_compile_options(${_exe} PRIVATE -Wno-conversion)
    if(TARGET rast32po_register)
      add_dependencies(${_exe} rast32po_register)
    endif()
  endforeach()
  add_dependencies(rastview_screen_tests RastView)
  target_compile_definitions(rastview_screen_tests PRIVATE
    RX_RASTVIEW="$<TARGET_FILE:RastView>"
    RX_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots/rastview")

  add_test(NAME rastview.window COMMAND rastview_window_tests)
  set_tests_properties(rastview.window PROPERTIES TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${RX_TEST_CONFIG_HOME}")
  add_test(NAME rastview.screens COMMAND rastview_screen_tests)
  set_tests_properties(rastview.screens PROPERTIES TIMEOUT 180 SKIP_REGULAR_EXPRESSION "SKIP   :"
    ENVIRONMENT "XDG_CONFIG_HOME=${RX_TEST_CONFIG_HOME};LSAN_OPTIONS=suppressions=${_rv_tests}/lsan-system.supp")
endif()
