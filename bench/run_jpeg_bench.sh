#!/bin/sh
# JPEG speed and memory against the peer programs, measured in one run on
# the same files:
#   encode: BMP -> JPEG at quality 100, sampling 2x1 (our 0x211111)
#           rastrix convert -q 100   vs   cjpeg -quality 100 -sample 2x1
#   decode: 4:2:0 quality-90 JPEG made by cjpeg -> BMP
#           rastrix convert          vs   djpeg -nosmooth -bmp
# Prints the best of RUNS wall times and the peak resident memory of each.
#
#   bench/run_jpeg_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build/release}
runs=${2:-5}
rastrix="$build/tools/rastrix"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in cjpeg djpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install libjpeg-turbo-progs time)"; exit 2; }
done
[ -x "$rastrix" ] || { echo "build $rastrix first"; exit 2; }

"$build/bench/make_photo" "$work/photo.bmp"
cjpeg -quality 90 -sample 2x2 "$work/photo.bmp" > "$work/photo420.jpg"

# The best wall time over RUNS (milliseconds from the clock around the
# command) and the peak RSS of that run: "seconds kilobytes".
best() {
  b=""
  i=0
  while [ $i -lt "$runs" ]; do
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/t" "$@" > /dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s%N)
    t="$(( (end - start) / 1000 )) $(cat "$work/t")"
    if [ -z "$b" ] || [ "$(echo "$t $b" | awk '{print ($1 < $3)}')" = 1 ]; then b=$t; fi
    i=$((i + 1))
  done
  echo "$b" | awk '{printf "%.3f %d\n", $1 / 1000000, $2}'
}

enc_ours=$(best "$rastrix" convert -q 100 "$work/photo.bmp" "$work/ours.jpg")
enc_peer=$(best sh -c "cjpeg -quality 100 -sample 2x1 '$work/photo.bmp' > '$work/peer.jpg'")
dec_ours=$(best "$rastrix" convert "$work/photo420.jpg" "$work/ours.bmp")
dec_peer=$(best sh -c "djpeg -nosmooth -bmp '$work/photo420.jpg' > '$work/peer.bmp'")

image_kb=$(( $(stat -c %s "$work/photo.bmp") / 1024 ))
printf '%-8s %-34s %8s %10s\n' task program seconds peak_KB
printf '%-8s %-34s %8s %10s\n' encode "rastrix convert -q 100" $enc_ours
printf '%-8s %-34s %8s %10s\n' encode "cjpeg -quality 100 -sample 2x1" $enc_peer
printf '%-8s %-34s %8s %10s\n' decode "rastrix convert (jpg -> bmp)" $dec_ours
printf '%-8s %-34s %8s %10s\n' decode "djpeg -nosmooth -bmp" $dec_peer
echo "picture: 4000 x 3000, $image_kb KB as BMP; output sizes: ours $(stat -c %s "$work/ours.jpg") B, peer $(stat -c %s "$work/peer.jpg") B"
echo "$enc_ours $enc_peer $dec_ours $dec_peer $image_kb" | awk '{
  printf "encode time ratio %.2f (target <= 2), decode time ratio %.2f (target <= 2)\n", $1 / $3, $5 / $7;
  printf "encode peak memory %d KB over the image size (target <= 16384)\n", $2 - $9 }'
