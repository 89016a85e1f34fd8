# PNG filter tests. zlib builds and checks test files; libpng, when
# installed, writes peer files and reads ours (both linked into the tests
# only, never into the engine).
find_package(ZLIB REQUIRED)
target_sources(rastrix_tests PRIVATE
  filters/png/test_png_rows.cpp
  filters/png/test_png_read.cpp
  filters/png/test_png_write.cpp
  filters/png/test_png_peers.cpp)
target_link_libraries(rastrix_tests PRIVATE ZLIB::ZLIB)
find_package(PNG)
if(PNG_FOUND)
  target_link_libraries(rastrix_tests PRIVATE PNG::PNG)
  target_compile_definitions(rastrix_tests PRIVATE RX_HAVE_PEER_LIBPNG=1)
endif()
