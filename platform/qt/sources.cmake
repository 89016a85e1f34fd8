# The Qt 6 adapter of the window layer: built only where Qt 6 Widgets is
# found, and linked only by programs that show windows.
find_package(Qt6 QUIET COMPONENTS Widgets)
if(Qt6_FOUND)
  add_library(rastrix_qt STATIC
    ${CMAKE_CURRENT_LIST_DIR}/adapter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layer_window_widget.cpp
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
