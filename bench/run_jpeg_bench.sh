#!/bin/sh
# JPEG speed and memory against the peer programs (cjpeg, djpeg, Pillow,
# vips), measured in one run on the same files: see bench/jpeg_bench.py.
#
#   bench/run_jpeg_bench.sh [BUILD_DIR] [ROUNDS]
set -eu
exec /usr/bin/python3 "$(dirname "$0")/jpeg_bench.py" --build "${1:-build/release}" --rounds "${2:-7}"
