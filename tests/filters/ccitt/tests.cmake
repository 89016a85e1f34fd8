# Raw Group 3 and Group 4 files.
target_sources(rastrix_tests PRIVATE)
