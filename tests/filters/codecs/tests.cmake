# The fax codec: hand-coded rows, hostile data, and libtiff as a peer.
target_sources(rastrix_tests PRIVATE
  filters/codecs/ccitt_harness.cpp
  filters/codecs/test_ccitt_codes.cpp
  filters/codecs/test_ccitt_decode.cpp)

# libtiff is the codec's peer in the tests only; the engine never links it.
find_library(RX_PEER_LIBTIFF tiff)
find_path(RX_PEER_LIBTIFF_INCLUDE tiffio.h)
if(RX_PEER_LIBTIFF AND RX_PEER_LIBTIFF_INCLUDE)
  target_sources(rastrix_tests PRIVATE
    filters/codecs/tiff_peer.cpp
    filters/codecs/test_ccitt_peer.cpp)
  target_link_libraries(rastrix_tests PRIVATE ${RX_PEER_LIBTIFF})
  target_include_directories(rastrix_tests SYSTEM PRIVATE ${RX_PEER_LIBTIFF_INCLUDE})
  target_compile_definitions(rastrix_tests PRIVATE RX_HAVE_PEER_LIBTIFF=1)
endif()

# Codec tests; zlib is the peer their results are checked against (linked
# into the tests only, never into the engine).
find_package(ZLIB REQUIRED)
target_sources(rastrix_tests PRIVATE
  filters/codecs/deflate_test_util.cpp
  filters/codecs/test_checksums.cpp
  filters/codecs/test_inflate.cpp
  filters/codecs/test_deflate.cpp)
target_link_libraries(rastrix_tests PRIVATE ZLIB::ZLIB)
