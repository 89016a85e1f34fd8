#!/bin/sh
# Makes the 12-megapixel test photo and times the display engine against
# QPainter on it, in one run. Build the release preset first.
set -e
build=${1:-build/release}
photo=${TMPDIR:-/tmp}/rastrix-bench-photo.bmp
[ -f "$photo" ] || "$build/bench/make_photo" "$photo"
exec "$build/bench/bench_display" "$photo"
