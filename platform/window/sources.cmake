# The window layer: classes, windows, per-thread message queues, painting,
# scroll bars, input, cursors, timers, and the services a toolkit backs.
target_sources(rastrix_platform_layer PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/window_class.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_queue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scroll.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_template.cpp)
add_library(rastrix_window INTERFACE)
target_link_libraries(rastrix_window INTERFACE rastrix_platform_layer)
