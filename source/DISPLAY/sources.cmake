# Display: the per-process display record and the image rectangle.
list(APPEND RX_LAYER_SOURCES
  DISPLAY/display_rec.cpp
  DISPLAY/display_rect.cpp)
