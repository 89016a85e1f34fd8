# Codecs that several formats share (deflate, CRC and Adler checksums,
# CCITT, PackBits, run-length coders), each in files of its own.
