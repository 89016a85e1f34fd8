# Image windows: the engine's window class, the association of windows
# with images and the window procedure that paints, sizes, zooms and
# scrolls them.
list(APPEND RX_LAYER_SOURCES
  gui/gui_start.cpp
  gui/window_assoc.cpp
  gui/window_assoc_api.cpp
  gui/window_proc.cpp)
