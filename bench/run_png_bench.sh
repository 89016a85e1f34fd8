#!/bin/sh
# PNG decode, inflate, encode and load memory against libpng and zlib, in
# one run on the reproducible 12-megapixel picture (see png_bench.cpp).
#
#   bench/run_png_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build/release}
runs=${2:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$build/bench/png_bench" ] || { echo "build $build/bench/png_bench first (needs libpng-dev)"; exit 2; }
"$build/bench/make_photo" "$work/photo.bmp"
"$build/bench/png_bench" "$work/photo.bmp" "$runs"
