# Shared codecs.
target_sources(rastrix_tests PRIVATE filters/codecs/test_packbits.cpp)
