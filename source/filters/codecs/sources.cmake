# Codecs that several formats share (deflate, CRC and Adler checksums,
# CCITT, PackBits, run-length coders), each in files of its own.

# The bi-level fax codec shared by the fax and TIFF filters.
list(APPEND RX_LAYER_SOURCES
  filters/codecs/ccitt_rows.cpp
  filters/codecs/group3.cpp
  filters/codecs/GROUP4.cpp
  filters/codecs/ccitt_decode.cpp
  filters/codecs/ccitt_encode.cpp)

# Checksums, inflate and the fixed-Huffman deflater: pure functions over
# caller buffers, used by the PNG filter and by every format that carries
# deflate data.
list(APPEND RX_LAYER_SOURCES
  filters/codecs/crc32.cpp
  filters/codecs/adler32.cpp
  filters/codecs/inflate.cpp
  filters/codecs/deflate.cpp)
