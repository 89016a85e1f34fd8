#!/bin/sh
# Convolution, sharpening, smoothing and the edge map against Pillow's
# filters on the 12-megapixel photo of make_photo, both timed in-process,
# best of RUNS, taking turns for ROUNDS rounds (see
# support/bench_common.sh).
#
# When the vips program is installed, its 3 x 3 convolution of the same
# kernel is timed too, as a whole command on the picture in its own
# uncompressed format (so including reading and writing it), best of RUNS.
#
#   bench/run_conv_bench.sh [BUILD_DIR] [RUNS] [ROUNDS]
set -eu
. "$(dirname "$0")/support/bench_common.sh"
need_tools make_photo conv_bench

"$build/bench/make_photo" "$work/photo.bmp"
ours() { "$build/bench/conv_bench" "$work/photo.bmp" "$runs"; }
peer() { /usr/bin/python3 "$here/conv_bench_pillow.py" "$work/photo.bmp" "$runs"; }
take_turns

if command -v vips > /dev/null 2>&1; then
  printf '3 3 16 0\n1 2 1\n2 4 2\n1 2 1\n' > "$work/soft.mat"
  vips copy "$work/photo.bmp" "$work/photo.v"
  best=""
  i=0
  while [ $i -lt "$runs" ]; do
    start=$(date +%s%N)
    vips conv "$work/photo.v" "$work/out.v" "$work/soft.mat" --precision integer
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
  done
  echo "vips conv 3x3, whole command with its own file format: $best ms"
fi
