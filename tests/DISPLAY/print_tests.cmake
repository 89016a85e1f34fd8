# Printing through the display engine.
target_sources(rastrix_tests PRIVATE DISPLAY/test_display_print.cpp)
