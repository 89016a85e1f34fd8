# PCX and DCX: records and detection, the PCX page reader and writer with
# their run-length coder, and the DCX page table.
list(APPEND RX_LAYER_SOURCES
  filters/pcx/pcx_filter.cpp
  filters/pcx/pcx_header.cpp
  filters/pcx/pcx_rle.cpp
  filters/pcx/PCXREAD.cpp
  filters/pcx/PCXWRITE.cpp
  filters/pcx/DCXREAD.cpp
  filters/pcx/DCXWRITE.cpp)
