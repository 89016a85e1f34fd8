# TIFF: files built by hand, our own files read back, libtiff, ImageMagick
# and Pillow as peers in both directions, and a test LZW codec standing in
# for the LZW extension.
target_sources(rastrix_tests PRIVATE
  filters/tiff/lzw_test_codec.cpp
  filters/tiff/tiff_harness.cpp
  filters/tiff/test_tiff_read.cpp
  filters/tiff/test_tiff_write.cpp
  filters/tiff/test_tiff_peers.cpp)
