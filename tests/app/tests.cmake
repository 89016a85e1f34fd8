# KaveloConvert's tests: Qt Test on the offscreen platform, driving the real
# window. One executable per group, each its own ctest entry.
find_package(Qt6 QUIET COMPONENTS Widgets Test)
if(Qt6_FOUND AND TARGET kaveloconvert_core)
  set(_app_tests ${CMAKE_CURRENT_LIST_DIR})
  add_library(kaveloconvert_test_support STATIC ${_app_tests}/app_test_support.cpp)
  set_target_properties(kaveloconvert_test_support PROPERTIES AUTOMOC ON)
  target_include_directories(kaveloconvert_test_support PUBLIC ${_app_tests})
  target_link_libraries(kaveloconvert_test_support PUBLIC kaveloconvert_core Qt6::Test)
  target_compile_definitions(kaveloconvert_test_support PRIVATE
    RX_APP_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/app-screenshots")
  rx_warnings(kaveloconvert_test_support)

  if(NOT DEFINED RX_TEST_CONFIG_HOME)
    set(RX_TEST_CONFIG_HOME ${CMAKE_BINARY_DIR}/test-config)
  endif()
  foreach(_group rules rast_host form end_to_end)
    set(_exe kaveloconvert_${_group}_tests)
    add_executable(${_exe} ${_app_tests}/test_${_group}.cpp)
    set_target_properties(${_exe} PROPERTIES AUTOMOC ON)
    target_link_libraries(${_exe} PRIVATE kaveloconvert_test_support)
    rx_warnings(${_exe})
    target_compile_options(${_exe} PRIVATE -Wno-conversion)
    add_test(NAME kaveloconvert.${_group} COMMAND ${_exe})
    set_tests_properties(kaveloconvert.${_group} PROPERTIES TIMEOUT 120
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${RX_TEST_CONFIG_HOME}")
  endforeach()

  # The engine decodes the JPEG files the control writes; it is linked into
  # this test only, never into the program.
  target_link_libraries(kaveloconvert_end_to_end_tests PRIVATE rastrix_engine rastrix_platform)
  if(TARGET rast32po_register)
    add_dependencies(kaveloconvert_end_to_end_tests rast32po_register)
  endif()
endif()
