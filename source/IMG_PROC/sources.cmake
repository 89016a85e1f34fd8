# Image processing: one operation family per file.
list(APPEND RX_LAYER_SOURCES
  IMG_PROC/ip_common.cpp
  IMG_PROC/lut.cpp
  IMG_PROC/histogram.cpp
  IMG_PROC/bilevel.cpp
  IMG_PROC/contrast.cpp
  IMG_PROC/merge.cpp
  IMG_PROC/new_dib.cpp
  IMG_PROC/resize.cpp
  IMG_PROC/resize_samples.cpp
  IMG_PROC/resize_bilevel.cpp
  IMG_PROC/crop.cpp
  IMG_PROC/rotate.cpp
  IMG_PROC/rotate_bilevel.cpp
  IMG_PROC/rotate_any.cpp
  IMG_PROC/turn_positions.cpp
  IMG_PROC/flip.cpp
  IMG_PROC/flip_row.cpp
  IMG_PROC/promote.cpp
  IMG_PROC/gray.cpp
  IMG_PROC/gray_test.cpp
  IMG_PROC/grey_row.cpp
  IMG_PROC/palette_entry.cpp
  IMG_PROC/encrypt.cpp
  IMG_PROC/skew_measure.cpp
  IMG_PROC/deskew.cpp)
