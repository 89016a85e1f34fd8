# The convolution benchmark's timing program (run_conv_bench.sh runs it
# beside Pillow).
add_executable(conv_bench conv_bench.cpp)
rx_warnings(conv_bench)
target_link_libraries(conv_bench PRIVATE rastrix_engine rastrix_platform)
