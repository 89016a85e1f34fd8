# GIF: the record and the placeholders that report the missing LZW
# extension.
list(APPEND RX_LAYER_SOURCES filters/gif/gif.cpp)
