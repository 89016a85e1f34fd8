# Shared codecs: checksums, inflate and the fixed-Huffman deflater. Pure
# functions over caller buffers, used by the PNG filter and by every format
# that carries deflate data.
target_sources(rastrix_engine PRIVATE
  filters/codecs/crc32.cpp
  filters/codecs/adler32.cpp
  filters/codecs/inflate.cpp
  filters/codecs/deflate.cpp)
