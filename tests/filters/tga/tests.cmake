# The TGA filter's tests.
target_sources(rastrix_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_tga.cpp)
