# Image-processing tests join the main test executable.
target_sources(rastrix_tests PRIVATE)
