# The deskew of a turned 300-dpi A4 text page (run_deskew_bench.sh); the
# page is drawn by the generator the skew tests use.
add_executable(deskew_bench deskew_bench.cpp)
rx_warnings(deskew_bench)
target_include_directories(deskew_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(deskew_bench PRIVATE rastrix_engine rastrix_platform)
