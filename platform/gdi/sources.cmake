# The drawing layer: DCs over software surfaces, bitmaps, brushes,
# palettes, raster operations, packed-DIB drawing and the built-in font.
target_sources(rastrix_platform_layer PRIVATE
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
add_library(rastrix_gdi INTERFACE)
target_link_libraries(rastrix_gdi INTERFACE rastrix_platform_layer)
