# The load pipeline: detection, the filter table, the load entry points and
# the reader-side callbacks.
list(APPEND RX_LAYER_SOURCES
  LOAD/detect.cpp
  LOAD/filter_table.cpp
  LOAD/load.cpp
  LOAD/dfltldcb.cpp
  LOAD/dfltldcb_convert.cpp)
