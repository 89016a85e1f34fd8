# Image windows: the engine's window class, the association of windows
# with images and the window procedure that paints, sizes, zooms and
# scrolls them. Tool windows: the magnifier, the pan window, hand panning
# and rubber-band selection.
list(APPEND RX_LAYER_SOURCES
  gui/gui_start.cpp
  gui/window_assoc.cpp
  gui/window_assoc_api.cpp
  gui/window_proc.cpp
  gui/tool_records.cpp
  gui/tool_track.cpp
  gui/tool_common.cpp
  gui/tool_classes.cpp
  gui/magnifier.cpp
  gui/magnify_paint.cpp
  gui/pan_window.cpp
  gui/pan_track.cpp
  gui/rubber_band.cpp)
