# The save pipeline: writer choice, the save entry points and the
# writer-side callbacks.
list(APPEND RX_LAYER_SOURCES
  SAVE/save.cpp
  SAVE/dfltsvcb.cpp)
