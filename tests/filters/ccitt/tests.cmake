# Raw Group 3 and Group 4 files, and the control's raw fax load.
target_sources(rastrix_tests PRIVATE
  filters/ccitt/test_g34.cpp
  filters/ccitt/test_g34_control.cpp)
