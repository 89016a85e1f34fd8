# XBM: record and detection, text reading, reader, writer.
list(APPEND RX_LAYER_SOURCES
  filters/xbm/xbm_filter.cpp
  filters/xbm/xbm_text.cpp
  filters/xbm/xbmread.cpp
  filters/xbm/xbmwrite.cpp)
