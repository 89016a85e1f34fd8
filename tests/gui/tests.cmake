# Image window tests join the main test executable.
target_sources(rastrix_tests PRIVATE
  gui/test_window_assoc.cpp
  gui/test_window_proc.cpp
  gui/test_tool_magnifier.cpp
  gui/test_tool_pan.cpp
  gui/test_tool_select.cpp)
