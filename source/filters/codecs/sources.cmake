# Codecs that several formats share (deflate, CRC and Adler checksums,
# CCITT, PackBits, run-length coders), each in files of its own.

# The bi-level fax codec shared by the fax and TIFF filters.
list(APPEND RX_LAYER_SOURCES
  filters/codecs/ccitt_rows.cpp
  filters/codecs/group3.cpp
  filters/codecs/GROUP4.cpp
  filters/codecs/ccitt_decode.cpp
  filters/codecs/ccitt_encode.cpp)
