# Raw Group 3 and Group 4 files (format codes 11 and 12).
target_sources(rastrix_engine PRIVATE
  filters/ccitt/G34READ.cpp
  filters/ccitt/G34WRITE.cpp)
