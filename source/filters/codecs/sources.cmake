# The bi-level fax codec shared by the fax and TIFF filters.
target_sources(rastrix_engine PRIVATE
  filters/codecs/ccitt_rows.cpp
  filters/codecs/group3.cpp
  filters/codecs/GROUP4.cpp
  filters/codecs/ccitt_decode.cpp
  filters/codecs/ccitt_encode.cpp)
