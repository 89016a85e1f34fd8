# The control's error report window, about box and printing.
target_sources(rastrix_tests PRIVATE
  ocx32/test_rast_dialogs.cpp
  ocx32/test_rast_print.cpp)

# The same windows on a Qt desktop (offscreen), with screenshots.
if(TARGET rastrix_qt)
  find_package(Qt6 QUIET COMPONENTS Test)
  add_executable(rast_dialogs_qt_tests ${CMAKE_CURRENT_LIST_DIR}/qt/test_rast_dialogs_qt.cpp)
  set_target_properties(rast_dialogs_qt_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(rast_dialogs_qt_tests PRIVATE rast32po_ctrl rastrix_qt Qt6::Test)
  target_compile_definitions(rast_dialogs_qt_tests PRIVATE RX_UI_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/ui-screenshots")
  rx_warnings(rast_dialogs_qt_tests)
  target_compile_options(rast_dialogs_qt_tests PRIVATE -Wno-conversion)
  add_test(NAME ocx32.dialogs_qt COMMAND rast_dialogs_qt_tests)
  set_tests_properties(ocx32.dialogs_qt PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
