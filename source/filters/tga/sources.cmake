# TGA: record and detection, reader, writer.
list(APPEND RX_LAYER_SOURCES
  filters/tga/tga_filter.cpp
  filters/tga/tgaread.cpp
  filters/tga/tgawrite.cpp)
