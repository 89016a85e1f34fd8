# Streams: the stream record over files and memory blocks, its tag and
# image-callback exports, and the buffered stream codecs read through.
list(APPEND RX_LAYER_SOURCES
  IO/io_rec.cpp
  IO/io_tags.cpp
  IO/io_callbacks.cpp
  IO/io_direct_rows.cpp
  IO/iobuffer.cpp
  IO/single_image_read.cpp)
