# Image processing: one operation family per file.
list(APPEND RX_LAYER_SOURCES
  IMG_PROC/ip_common.cpp
  IMG_PROC/lut.cpp
  IMG_PROC/histogram.cpp
  IMG_PROC/bilevel.cpp
  IMG_PROC/contrast.cpp
  IMG_PROC/merge.cpp)
