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
  IMG_PROC/test_convolve.cpp
  IMG_PROC/test_sharpen_smooth.cpp
  IMG_PROC/test_edge_map.cpp
  IMG_PROC/test_convolve_peer.cpp
  IMG_PROC/test_fx_kernels.cpp
  IMG_PROC/test_fx_posterize.cpp
  IMG_PROC/test_fx_tiles.cpp
  IMG_PROC/test_fx_texture.cpp
  IMG_PROC/test_despeckle.cpp
  IMG_PROC/test_encrypt.cpp
  IMG_PROC/test_deskew.cpp)
