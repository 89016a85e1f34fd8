# Colour reduction and dithering: one operation per file.
list(APPEND RX_LAYER_SOURCES
  DITHER/dither_common.cpp
  DITHER/dither_target.cpp
  DITHER/octree.cpp
  DITHER/colour_keys.cpp
  DITHER/median_cut.cpp
  DITHER/popularity.cpp
  DITHER/diffuse.cpp
  DITHER/bayer.cpp
  DITHER/halftone.cpp)
