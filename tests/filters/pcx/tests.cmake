# The PCX and DCX filters' tests.
target_sources(rastrix_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_pcx.cpp)
target_sources(rastrix_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/test_pcx_tags.cpp)
