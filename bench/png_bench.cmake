# PNG and inflate against libpng and zlib, which only the benchmark links.
find_package(PNG)
find_package(ZLIB)
if(PNG_FOUND AND ZLIB_FOUND)
  add_executable(png_bench png_bench.cpp)
  target_link_libraries(png_bench PRIVATE rastrix_engine_internal rastrix_platform PNG::PNG ZLIB::ZLIB)
  rx_warnings(png_bench)
  target_compile_options(png_bench PRIVATE -Wno-conversion)
endif()
