# Display tests join the main test executable.
target_sources(rastrix_tests PRIVATE
  DISPLAY/test_display_colours.cpp
  DISPLAY/test_display_draw.cpp
  DISPLAY/test_display_runs.cpp
  DISPLAY/test_display_view.cpp
  DISPLAY/test_display_robust.cpp
  DISPLAY/test_image_from_bitmap.cpp)
include(${CMAKE_CURRENT_LIST_DIR}/effect_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/qt_tests.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/print_tests.cmake)
