# Formats detected but not yet read or written.
list(APPEND RX_LAYER_SOURCES filters/detect_only/detect_only.cpp)
