# Codecs that several formats share (deflate, CRC and Adler checksums,
# CCITT, PackBits, run-length coders), each in files of its own.

# PackBits (PSD and TIFF image data).
list(APPEND RX_LAYER_SOURCES filters/codecs/packbits.cpp)
