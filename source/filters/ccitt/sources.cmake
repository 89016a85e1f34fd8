# Raw Group 3 and Group 4 files (format codes 11 and 12): the record, the
# reader and the writer over the shared fax codec.
list(APPEND RX_LAYER_SOURCES
  filters/ccitt/g34_filter.cpp
  filters/ccitt/G34READ.cpp
  filters/ccitt/G34WRITE.cpp)
