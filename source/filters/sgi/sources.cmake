# SGI: record and detection, reader, writer, row run-length coding.
list(APPEND RX_LAYER_SOURCES
  filters/sgi/sgi_filter.cpp
  filters/sgi/sgiread.cpp
  filters/sgi/sgiwrite.cpp
  filters/sgi/sgi_rle.cpp)
