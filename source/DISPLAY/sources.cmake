# Display: the display engine (drawing images into device contexts), the
# display attributes and palettes, zoom and fit, and images from bitmaps.
list(APPEND RX_LAYER_SOURCES
  DISPLAY/background.cpp
  DISPLAY/band_blit.cpp
  DISPLAY/band_colours.cpp
  DISPLAY/display_attrs.cpp
  DISPLAY/display_coords.cpp
  DISPLAY/display_draw.cpp
  DISPLAY/display_effect.cpp
  DISPLAY/display_engine.cpp
  DISPLAY/display_luts.cpp
  DISPLAY/display_print.cpp
  DISPLAY/display_rec.cpp
  DISPLAY/display_rect.cpp
  DISPLAY/effect_cells.cpp
  DISPLAY/effect_strips.cpp
  DISPLAY/effect_sweeps.cpp
  DISPLAY/extension_48.cpp
  DISPLAY/fit_zoom.cpp
  DISPLAY/image_from_bitmap.cpp
  DISPLAY/palette_realize.cpp
  DISPLAY/render_cells.cpp
  DISPLAY/render_generic.cpp
  DISPLAY/render_runs.cpp
  DISPLAY/render_setup.cpp
  DISPLAY/row_convert.cpp
  DISPLAY/target_depth.cpp)
