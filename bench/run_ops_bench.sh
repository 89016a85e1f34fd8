#!/bin/sh
# Image operations against Pillow in one run on the same pictures: the
# 12-megapixel photo of make_photo and the 300-dpi A4 page of make_page.
# Both sides time their operations in-process, best of RUNS, taking turns
# for ROUNDS rounds (see support/bench_common.sh).
#
#   bench/run_ops_bench.sh [BUILD_DIR] [RUNS] [ROUNDS]
set -eu
. "$(dirname "$0")/support/bench_common.sh"
need_tools make_photo make_page ops_bench

"$build/bench/make_photo" "$work/photo.bmp"
"$build/bench/make_page" "$work/page.bmp"
ours() { "$build/bench/ops_bench" "$work/photo.bmp" "$work/page.bmp" "$runs"; }
peer() { /usr/bin/python3 "$here/ops_bench_pillow.py" "$work/photo.bmp" "$work/page.bmp" "$runs"; }
take_turns
