# Image processing: one operation family per file.
target_sources(rastrix_engine PRIVATE)
