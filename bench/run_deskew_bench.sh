#!/bin/sh
# Deskew of a 300-dpi A4 text page turned by known angles: the measurement
# alone and measure-and-turn, best of RUNS. No peer in Debian's Python
# stack deskews, so the table gives the times and the measured angle beside
# the truth.
#
#   bench/run_deskew_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build/release}
runs=${2:-5}
[ -x "$build/bench/deskew_bench" ] || { echo "build $build/bench/deskew_bench first"; exit 2; }
"$build/bench/deskew_bench" "$runs"
