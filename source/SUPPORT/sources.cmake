# Image core: memory tags, process instance, error stack and status
# messages, the image record and DIB, run rows, options and settings, the
# extension registry.
list(APPEND RX_LAYER_SOURCES
  SUPPORT/mem_tag.cpp
  SUPPORT/instance.cpp
  SUPPORT/engine_tables.cpp
  SUPPORT/error.cpp
  SUPPORT/status_msg.cpp
  SUPPORT/status_msg_table.cpp
  SUPPORT/ext.cpp
  SUPPORT/ext_module.cpp
  SUPPORT/ext_option_delegate.cpp
  SUPPORT/ext_codecs.cpp
  SUPPORT/img_ctrl.cpp
  SUPPORT/settings.cpp
  SUPPORT/rxh_util.cpp
  SUPPORT/dib.cpp
  SUPPORT/run_row.cpp
  SUPPORT/runs.cpp
  SUPPORT/raster.cpp
  SUPPORT/resolution.cpp
  SUPPORT/palette.cpp
  SUPPORT/kernels.cpp
  SUPPORT/helper_thread.cpp
  SUPPORT/limits.cpp
  SUPPORT/random.cpp)
