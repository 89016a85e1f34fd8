# The PSD filter.
target_sources(rastrix_tests PRIVATE filters/psd/test_psd.cpp filters/psd/test_psd_write.cpp)
# The command-line tool on icon, PSD and SGI files.
target_sources(rastrix_tests PRIVATE tools/test_rastrix_ico_psd_sgi.cpp)
