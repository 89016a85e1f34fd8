# The display engine against QPainter, where Qt 6 is found.
find_package(Qt6 QUIET COMPONENTS Gui)
if(Qt6_FOUND AND TARGET rastrix_gdi)
  add_executable(bench_display ${CMAKE_CURRENT_LIST_DIR}/bench_display.cpp)
  target_link_libraries(bench_display PRIVATE rastrix_engine_internal rastrix_gdi rastrix_window Qt6::Gui)
  rx_warnings(bench_display)
  target_compile_options(bench_display PRIVATE -Wno-conversion -Wno-double-promotion)
endif()
