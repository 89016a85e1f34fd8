# Sun raster: record and detection, reader, writer and run-length coder.
list(APPEND RX_LAYER_SOURCES
  filters/sun/sun_filter.cpp
  filters/sun/sun_rle.cpp
  filters/sun/sunread.cpp
  filters/sun/sunwrite.cpp)
