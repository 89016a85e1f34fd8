# The PNG filter: reader, writer, row filters and Adam7, sample conversions.
target_sources(rastrix_engine PRIVATE
  filters/png/PNGREAD.cpp
  filters/png/PNGWRITE.cpp
  filters/png/png_rows.cpp
  filters/png/png_samples.cpp)
