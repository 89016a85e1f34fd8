# Colour reduction and dithering tests join the main test executable.
target_sources(rastrix_tests PRIVATE
  DITHER/test_palette_gen.cpp
  DITHER/test_dither.cpp)
