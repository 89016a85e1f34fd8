# Extension registry tests. Small test-only modules, one source built with
# a different fault each, are loaded into the test process, which exports
# the extension interface for them.
foreach(variant ok no_set refuse bad_code many_items)
  rx_extension_module(test_ext_${variant} SOURCES extensions/modules/test_module.cpp)
  string(TOUPPER ${variant} fault)
  if(NOT variant STREQUAL "ok")
    target_compile_definitions(test_ext_${variant} PRIVATE TEST_MODULE_${fault}=1)
  endif()
  add_dependencies(rastrix_tests test_ext_${variant})
endforeach()
target_sources(rastrix_tests PRIVATE
  extensions/test_ext_registry.cpp)
target_compile_definitions(rastrix_tests PRIVATE
  RX_TEST_MODULE_DIR="$<TARGET_FILE_DIR:test_ext_ok>")
rx_extension_host(rastrix_tests)

# The LZW extension module: its GIF filter against the peers' files and
# its TIFF codec against libtiff (a test-only peer).
target_sources(rastrix_tests PRIVATE
  extensions/test_rxlzw_gif_peers.cpp
  extensions/test_rxlzw_gif_write.cpp)
# libtiff as found for the fax codec's tests (filters/codecs/tests.cmake).
if(RX_PEER_LIBTIFF AND RX_PEER_LIBTIFF_INCLUDE)
  target_sources(rastrix_tests PRIVATE extensions/test_rxlzw_tiff.cpp)
endif()
target_compile_definitions(rastrix_tests PRIVATE RX_RXLZW_MODULE="$<TARGET_FILE:rxlzw>")
# The codec itself, its sources built in (the module's names stay hidden:
# the tests export only the extension interface).
target_sources(rastrix_tests PRIVATE extensions/test_rxlzw_codec.cpp
  ${PROJECT_SOURCE_DIR}/extensions/rxlzw/lzw_decode.cpp
  ${PROJECT_SOURCE_DIR}/extensions/rxlzw/lzw_encode.cpp)
set_source_files_properties(extensions/test_rxlzw_codec.cpp PROPERTIES
  INCLUDE_DIRECTORIES ${PROJECT_SOURCE_DIR}/extensions/rxlzw)
add_dependencies(rastrix_tests rxlzw)

# RX16, whose presence lets the display draw 16-bit images.
target_sources(rastrix_tests PRIVATE extensions/test_rx16.cpp)
target_compile_definitions(rastrix_tests PRIVATE RX_RX16_MODULE="$<TARGET_FILE:rx16>")
add_dependencies(rastrix_tests rx16)

# The rastrix command with the modules shipped beside it, and without.
target_sources(rastrix_tests PRIVATE
  tools/test_rastrix_extensions.cpp)

# A host that sees the engine only through the control library.
add_executable(ext_control_host extensions/control_host.cpp)
target_include_directories(ext_control_host PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(ext_control_host PRIVATE ${CMAKE_DL_LIBS})
rx_warnings(ext_control_host)
target_sources(rastrix_tests PRIVATE extensions/test_ext_control_host.cpp)
target_compile_definitions(rastrix_tests PRIVATE RX_CONTROL_HOST="$<TARGET_FILE:ext_control_host>")
add_dependencies(rastrix_tests ext_control_host)
