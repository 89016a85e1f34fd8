# Icons: record and detection, reader, writer.
list(APPEND RX_LAYER_SOURCES
  filters/ico/ico_filter.cpp
  filters/ico/icoread.cpp
  filters/ico/icowrite.cpp)
