# PSD: record and detection, header, reader, planes, writer.
list(APPEND RX_LAYER_SOURCES
  filters/psd/psd_filter.cpp
  filters/psd/psd_header.cpp
  filters/psd/psdread.cpp
  filters/psd/psd_planes.cpp
  filters/psd/psd_lab.cpp
  filters/psd/psdwrite.cpp)
