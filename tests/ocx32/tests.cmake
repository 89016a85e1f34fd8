# Control tests: a control in the test's own process, and the component
# library created through the registry as a host would.
target_sources(rastrix_tests PRIVATE
  ocx32/ctrl_harness.cpp
  ocx32/test_rast_ctrl.cpp
  ocx32/test_rast_files.cpp
  ocx32/test_rast_events.cpp
  ocx32/test_rast_module.cpp
  ocx32/test_rast_exports.cpp
  ocx32/test_rast_error_hold.cpp
  ocx32/test_rast_class_info.cpp
  ocx32/test_rast_write_shape.cpp
  ocx32/test_rast_document.cpp
  ocx32/test_rast_processing.cpp
  ocx32/test_rast_conv.cpp
  ocx32/test_rast_fx.cpp
  ocx32/test_rast_skew.cpp
  ocx32/test_rast_view.cpp
  ocx32/test_rast_tool_windows.cpp)
target_link_libraries(rastrix_tests PRIVATE rast32po_ctrl)
target_compile_definitions(rastrix_tests PRIVATE
  RAST32PO_LIBRARY="$<TARGET_FILE:rast32po>"
  RXREGSVR_TOOL="$<TARGET_FILE:rxregsvr>"
  RX_EXPORTS_LIST="${PROJECT_SOURCE_DIR}/work/ocx32/exports.txt"
  RX_PUBLIC_INCLUDE="${PROJECT_SOURCE_DIR}/include")
add_dependencies(rastrix_tests rast32po rxregsvr)
include(${CMAKE_CURRENT_LIST_DIR}/dialogs_tests.cmake)
