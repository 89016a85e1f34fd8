# Component-model tests.
target_sources(rastrix_tests PRIVATE
  platform/test_com_variant.cpp
  platform/test_com_registry.cpp
  platform/test_com_creation.cpp
  platform/test_com_events.cpp)
target_link_libraries(rastrix_tests PRIVATE rastrix_com)

# A component library for the creation and event tests, loaded at run time
# from its build location.
add_library(com_test_component SHARED platform/com_test_component.cpp)
target_link_libraries(com_test_component PRIVATE rastrix_com)
set_target_properties(com_test_component PROPERTIES CXX_VISIBILITY_PRESET hidden
                                                    VISIBILITY_INLINES_HIDDEN ON)
target_compile_options(com_test_component PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
rx_warnings(com_test_component)
target_compile_definitions(rastrix_tests PRIVATE
  COM_TEST_COMPONENT="$<TARGET_FILE:com_test_component>"
  RXREGSVR="$<TARGET_FILE:rxregsvr>")
add_dependencies(rastrix_tests com_test_component rxregsvr)
