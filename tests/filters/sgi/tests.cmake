# The SGI filter.
target_sources(rastrix_tests PRIVATE filters/sgi/test_sgi.cpp filters/sgi/test_sgi_write.cpp)
