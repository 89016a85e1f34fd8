# The drawing layer: DCs over software surfaces, bitmaps, brushes,
# palettes, raster operations, packed-DIB drawing and the built-in font.
add_library(rastrix_gdi STATIC
  ${CMAKE_CURRENT_LIST_DIR}/handles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/colour_map.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/brush.cpp
  ${CMAKE_CURRENT_LIST_DIR}/palette.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stretch_dib.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fills.cpp
  ${CMAKE_CURRENT_LIST_DIR}/font.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp)
target_include_directories(rastrix_gdi PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../include)
# The blitter asks the kernel layer for the kernel level.
target_link_libraries(rastrix_gdi PUBLIC rastrix_platform)
rx_warnings(rastrix_gdi)
