# The transition effects' tests join the main test executable.
target_sources(rastrix_tests PRIVATE
  DISPLAY/test_display_effect.cpp
  DISPLAY/test_display_effect_steps.cpp)
