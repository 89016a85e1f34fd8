# The fax codec: hand-coded rows, hostile data, and libtiff as a peer.
target_sources(rastrix_tests PRIVATE
  filters/codecs/ccitt_harness.cpp
  filters/codecs/test_ccitt_codes.cpp
  filters/codecs/test_ccitt_decode.cpp)
