# Programs that link the engine statically and load extension modules into
# themselves (rastrix, the tests, the fuzz targets) must export the
# extension interface dynamically, since a module resolves the RPb_
# functions it calls in the process's global scope. rx_extension_host(t)
# exports exactly the RPb_ names of work/ocx32/exports.txt from t's
# executable and asks for each from the static libraries, so that even one
# the program never calls itself is linked in.
file(STRINGS ${PROJECT_SOURCE_DIR}/work/ocx32/exports.txt RX_HOST_EXPORT_LINES REGEX "^RPb_")
list(TRANSFORM RX_HOST_EXPORT_LINES STRIP)
list(JOIN RX_HOST_EXPORT_LINES ";\n  " RX_HOST_EXPORT_BODY)
set(RX_EXTENSION_HOST_LIST ${CMAKE_BINARY_DIR}/rpb-exports.dynlist CACHE INTERNAL "RPb_ dynamic list")
file(WRITE ${RX_EXTENSION_HOST_LIST} "{\n  ${RX_HOST_EXPORT_BODY};\n};\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/work/ocx32/exports.txt)
list(TRANSFORM RX_HOST_EXPORT_LINES PREPEND "-Wl,--undefined=" OUTPUT_VARIABLE RX_HOST_PULLS)
set(RX_EXTENSION_HOST_PULLS ${RX_HOST_PULLS} CACHE INTERNAL "RPb_ names a host links in")

function(rx_extension_host target)
  target_link_options(${target} PRIVATE -Wl,--dynamic-list=${RX_EXTENSION_HOST_LIST}
                      ${RX_EXTENSION_HOST_PULLS})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${RX_EXTENSION_HOST_LIST})
endfunction()
