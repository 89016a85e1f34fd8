# The drawing layer against QPainter, where Qt 6 is found.
find_package(Qt6 QUIET COMPONENTS Gui)
if(Qt6_FOUND AND TARGET rastrix_gdi)
  add_executable(bench_gdi_blit ${CMAKE_CURRENT_LIST_DIR}/bench_gdi_blit.cpp)
  target_link_libraries(bench_gdi_blit PRIVATE rastrix_gdi Qt6::Gui)
  rx_warnings(bench_gdi_blit)
  target_compile_options(bench_gdi_blit PRIVATE -Wno-conversion -Wno-double-promotion)
endif()
