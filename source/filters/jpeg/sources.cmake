# JPEG: record and detection, the baseline writer and its kernels, the
# sequential reader and its kernels.
list(APPEND RX_LAYER_SOURCES
  filters/jpeg/jpeg_filter.cpp
  filters/jpeg/JPGWRITE.cpp
  filters/jpeg/jpeg_fdct.cpp
  filters/jpeg/jpeg_huff_enc.cpp
  filters/jpeg/jpeg_downsample.cpp
  filters/jpeg/jpeg_bands.cpp
  filters/jpeg/JPGREAD.cpp
  filters/jpeg/jpeg_idct.cpp
  filters/jpeg/jpeg_huff_dec.cpp
  filters/jpeg/jpeg_color.cpp
  filters/jpeg/jpeg_markers.cpp
  filters/jpeg/jpeg_scan.cpp)
