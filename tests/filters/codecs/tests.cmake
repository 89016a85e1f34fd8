# Codec tests; zlib is the peer their results are checked against (linked
# into the tests only, never into the engine).
find_package(ZLIB REQUIRED)
target_sources(rastrix_tests PRIVATE
  filters/codecs/deflate_test_util.cpp
  filters/codecs/test_checksums.cpp
  filters/codecs/test_inflate.cpp
  filters/codecs/test_deflate.cpp)
target_link_libraries(rastrix_tests PRIVATE ZLIB::ZLIB)
