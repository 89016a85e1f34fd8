# The Qt 6 adapter of the window layer: built only where Qt 6 Widgets is
# found, and linked only by programs that show windows.
find_package(Qt6 QUIET COMPONENTS Widgets)
if(Qt6_FOUND)
  add_library(rastrix_qt STATIC
    ${CMAKE_CURRENT_LIST_DIR}/adapter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layer_window_widget.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scroll_bars.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_widget.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_services.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_internal.h
    ${CMAKE_CURRENT_LIST_DIR}/../include/platform/qt_adapter.h)
  set_target_properties(rastrix_qt PROPERTIES AUTOMOC ON)
  target_include_directories(rastrix_qt PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../include)
  target_link_libraries(rastrix_qt PUBLIC rastrix_window Qt6::Widgets)
  rx_warnings(rastrix_qt)
else()
  message(STATUS "Qt 6 Widgets not found: the window layer's Qt adapter is not built")
endif()

# Printing layer pages through Qt, where Qt 6 Print Support is found (it
# comes with the Qt 6 base development package).
if(TARGET rastrix_qt)
  find_package(Qt6 QUIET COMPONENTS PrintSupport)
  if(Qt6PrintSupport_FOUND)
    target_sources(rastrix_qt PRIVATE ${CMAKE_CURRENT_LIST_DIR}/print_page.cpp
                   ${CMAKE_CURRENT_LIST_DIR}/../include/platform/qt_print.h)
    target_link_libraries(rastrix_qt PUBLIC Qt6::PrintSupport)
    target_compile_definitions(rastrix_qt PUBLIC RX_QT_PRINT=1)
  else()
    message(STATUS "Qt 6 Print Support not found: pages are not printed through Qt")
  endif()
endif()
