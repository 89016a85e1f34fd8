# TIFF (format code 40): the record and detection test, the reader
# (TIFREAD, with the directory, page, sample, fax and JPEG stages and the
# TIFF-JPEG decoder TIFF_JPG) and the writer (TIFWRITE, with its strips,
# directory and page chain).
list(APPEND RX_LAYER_SOURCES
  filters/tiff/tiff_filter.cpp
  filters/tiff/tiff_dir.cpp
  filters/tiff/tiff_page.cpp
  filters/tiff/tiff_samples.cpp
  filters/tiff/TIFREAD.cpp
  filters/tiff/tiff_strips.cpp
  filters/tiff/tiff_fax.cpp
  filters/tiff/TIFF_JPG.cpp
  filters/tiff/TIFWRITE.cpp
  filters/tiff/tiff_wstrips.cpp
  filters/tiff/tiff_ifd.cpp
  filters/tiff/tiff_link.cpp)
