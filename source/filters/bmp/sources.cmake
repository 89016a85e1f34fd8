# BMP: record and detection, reader, writer, header, rows and RLE.
list(APPEND RX_LAYER_SOURCES
  filters/bmp/bmp_filter.cpp
  filters/bmp/Bmpread.cpp
  filters/bmp/bmp_header.cpp
  filters/bmp/bmp_rows.cpp
  filters/bmp/bmpwrite.cpp
  filters/bmp/bmp_rle.cpp)
