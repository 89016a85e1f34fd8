# The PSD filter.
target_sources(rastrix_tests PRIVATE filters/psd/test_psd.cpp filters/psd/test_psd_write.cpp)
