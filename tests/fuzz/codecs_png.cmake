# The shared inflater (checked against zlib as it runs) and the PNG reader
# and writer.
find_package(ZLIB REQUIRED)
add_executable(fuzz_inflate fuzz_inflate.cpp)
target_link_libraries(fuzz_inflate PRIVATE rastrix_engine_internal ZLIB::ZLIB)
target_link_options(fuzz_inflate PRIVATE -fsanitize=fuzzer)
rx_warnings(fuzz_inflate)

add_executable(fuzz_png fuzz_png.cpp)
target_link_libraries(fuzz_png PRIVATE rastrix_engine_internal rastrix_platform)
target_link_options(fuzz_png PRIVATE -fsanitize=fuzzer)
rx_warnings(fuzz_png)
