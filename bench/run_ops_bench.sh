#!/bin/sh
# Image operations against Pillow (Debian's, /usr/bin/python3) in one run on
# the same pictures: the 12-megapixel photo of make_photo and the 300-dpi
# A4 page of make_page. Both sides time their operations in-process, best
# of RUNS, and the table gives ours, Pillow's and the ratio (target <= 1),
# in wall-clock time and in the time the timing thread spent on the
# processor (which a busy machine disturbs less).
#
# Our operations replace the image's pixels, so their time includes
# releasing the old pixels, which Pillow's (returning a new image) does not.
# Both processes run with the same C library allocator settings, which keep
# freed blocks for reuse instead of handing them back to the system (Pillow
# keeps its image blocks below the size at which the library maps and unmaps
# them anyway); RX_BENCH_SYSTEM_MALLOC=1 leaves the defaults.
#
# The machine may be shared: the two sides take turns for ROUNDS rounds and
# each keeps its best time per case.
#
#   bench/run_ops_bench.sh [BUILD_DIR] [RUNS] [ROUNDS]
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

for tool in "$build/bench/make_photo" "$build/bench/make_page" "$build/bench/ops_bench"; do
  [ -x "$tool" ] || { echo "build $tool first"; exit 2; }
done
/usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is needed"; exit 2; }

"$build/bench/make_photo" "$work/photo.bmp"
"$build/bench/make_page" "$work/page.bmp"
: > "$work/ours"
: > "$work/peer"
i=0
while [ $i -lt "$rounds" ]; do
  "$build/bench/ops_bench" "$work/photo.bmp" "$work/page.bmp" "$runs" >> "$work/ours"
  /usr/bin/python3 "$here/ops_bench_pillow.py" "$work/photo.bmp" "$work/page.bmp" "$runs" >> "$work/peer"
  i=$((i + 1))
done

printf '%-24s %9s %9s %6s   %9s %9s %6s\n' case ours_ms pillow_ms ratio ours_cpu pil_cpu ratio
awk -f "$here/best_of.awk" "$work/peer" "$work/ours"
