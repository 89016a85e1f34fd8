# The TIFF reader and writer against libtiff, which only the benchmark links.
if(RX_BENCH_LIBTIFF AND RX_BENCH_LIBTIFF_INCLUDE)
  add_executable(tiff_bench tiff_bench.cpp)
  target_link_libraries(tiff_bench PRIVATE rastrix_engine_internal rastrix_platform ${RX_BENCH_LIBTIFF})
  target_include_directories(tiff_bench SYSTEM PRIVATE ${RX_BENCH_LIBTIFF_INCLUDE})
  rx_warnings(tiff_bench)
  target_compile_options(tiff_bench PRIVATE -Wno-conversion)
endif()
