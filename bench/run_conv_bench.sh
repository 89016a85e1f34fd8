#!/bin/sh
# Convolution, sharpening, smoothing and the edge map against Pillow's
# filters (Debian's, /usr/bin/python3) on the 12-megapixel photo of
# make_photo, both timed in-process, best of RUNS, taking turns for ROUNDS
# rounds; the table gives ours, Pillow's and the ratio (target <= 1) in
# wall-clock and thread processor time. Allocator settings as in
# run_ops_bench.sh.
#
# When the vips program is installed, its 3 x 3 convolution of the same
# kernel is timed too, as a whole command on the picture in its own
# uncompressed format (so including reading and writing it), best of RUNS.
#
#   bench/run_conv_bench.sh [BUILD_DIR] [RUNS] [ROUNDS]
set -eu
if [ "${RX_BENCH_SYSTEM_MALLOC:-0}" != 1 ]; then
  export GLIBC_TUNABLES=glibc.malloc.mmap_threshold=1073741824:glibc.malloc.trim_threshold=4294967295
fi
build=${1:-build/release}
runs=${2:-5}
rounds=${3:-3}
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in "$build/bench/make_photo" "$build/bench/conv_bench"; do
  [ -x "$tool" ] || { echo "build $tool first"; exit 2; }
done
/usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is needed"; exit 2; }

"$build/bench/make_photo" "$work/photo.bmp"
: > "$work/ours"
: > "$work/peer"
i=0
while [ $i -lt "$rounds" ]; do
  "$build/bench/conv_bench" "$work/photo.bmp" "$runs" >> "$work/ours"
  /usr/bin/python3 "$here/conv_bench_pillow.py" "$work/photo.bmp" "$runs" >> "$work/peer"
  i=$((i + 1))
done

printf '%-24s %9s %9s %6s   %9s %9s %6s\n' case ours_ms pillow_ms ratio ours_cpu pil_cpu ratio
awk -f "$here/best_of.awk" "$work/peer" "$work/ours"

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
