# The icon filter.
target_sources(rastrix_tests PRIVATE filters/ico/test_ico.cpp)
