# The JPEG writer's kernel tests join the main test executable. The JPEG
# suites then run a second time with the plain kernels forced through the
# environment, as a machine without the vector paths would run them.
target_sources(rastrix_tests PRIVATE filters/jpeg/test_jpeg_kernels.cpp filters/jpeg/test_jpeg_threads.cpp)
add_test(NAME jpeg_suites_plain_kernels COMMAND rastrix_tests --gtest_filter=Jpeg*:RowsInPlace.*)
set_tests_properties(jpeg_suites_plain_kernels PROPERTIES ENVIRONMENT RASTRIX_KERNELS=reference)
