# The Sun raster filter's tests.
target_sources(rastrix_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_sun.cpp)
target_sources(rastrix_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_sun_tags.cpp)
