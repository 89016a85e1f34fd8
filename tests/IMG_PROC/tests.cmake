# Image-processing tests join the main test executable.
target_sources(rastrix_tests PRIVATE
  IMG_PROC/test_merge.cpp
  IMG_PROC/test_contrast.cpp
  IMG_PROC/test_histogram.cpp
  IMG_PROC/test_resize.cpp
  IMG_PROC/test_rotate.cpp
  IMG_PROC/test_promote.cpp
  IMG_PROC/test_geometry_peer.cpp
  IMG_PROC/test_fast_paths.cpp
  IMG_PROC/test_op_limits.cpp
  IMG_PROC/test_encrypt.cpp
  IMG_PROC/test_deskew.cpp)
