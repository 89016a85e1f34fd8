# Sourced by the scripts that time our operations beside Pillow's (Debian's,
# /usr/bin/python3): their arguments [BUILD_DIR] [RUNS] [ROUNDS], the
# allocator settings, a work folder removed on exit, and the rounds.
#
# Our operations replace the image's pixels, so their time includes
# releasing the old pixels, which Pillow's (returning a new image) does not.
# Both processes run with the same C library allocator settings, which keep
# freed blocks for reuse instead of handing them back to the system (Pillow
# keeps its image blocks below the size at which the library maps and unmaps
# them anyway); RX_BENCH_SYSTEM_MALLOC=1 leaves the defaults.
if [ "${RX_BENCH_SYSTEM_MALLOC:-0}" != 1 ]; then
  export GLIBC_TUNABLES=glibc.malloc.mmap_threshold=1073741824:glibc.malloc.trim_threshold=4294967295
fi
build=${1:-build/release}
runs=${2:-5}
rounds=${3:-3}
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# need_tools NAME...: the bench programs of the build that must be there.
need_tools() {
  for name in "$@"; do
    [ -x "$build/bench/$name" ] || { echo "build $build/bench/$name first"; exit 2; }
  done
  /usr/bin/python3 -c 'import PIL' 2>/dev/null || { echo "python3-pil is needed"; exit 2; }
}

# take_turns: the machine may be shared, so the two sides take turns for
# ROUNDS rounds (the caller's functions ours and peer, each printing "case
# wall_ms cpu_ms" lines), then the table gives the best time per case of
# each, ours, Pillow's and the ratio (target <= 1), in wall-clock time and
# in the time the timing thread spent on the processor.
take_turns() {
  : > "$work/ours"
  : > "$work/peer"
  i=0
  while [ $i -lt "$rounds" ]; do
    ours >> "$work/ours"
    peer >> "$work/peer"
    i=$((i + 1))
  done
  printf '%-24s %9s %9s %6s   %9s %9s %6s\n' case ours_ms pillow_ms ratio ours_cpu pil_cpu ratio
  awk -f "$here/best_of.awk" "$work/peer" "$work/ours"
}
