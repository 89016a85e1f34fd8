# The PNG filter: record and detection, reader, writer, row filters and
# Adam7, sample conversions.
list(APPEND RX_LAYER_SOURCES
  filters/png/png_filter.cpp
  filters/png/PNGREAD.cpp
  filters/png/PNGWRITE.cpp
  filters/png/png_rows.cpp
  filters/png/png_samples.cpp)
