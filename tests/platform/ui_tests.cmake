# The drawing and window layers' tests, in the main test executable.
target_sources(rastrix_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/test_gdi_rop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_gdi_dib.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_gdi_palette.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_ui_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_ui_robust.cpp)
target_link_libraries(rastrix_tests PRIVATE rastrix_gdi rastrix_window)
include(${CMAKE_CURRENT_LIST_DIR}/qt_tests.cmake)
