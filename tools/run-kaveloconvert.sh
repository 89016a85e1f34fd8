#!/bin/sh
# Builds and starts KaveloConvert in a fresh copy of the bundled sample BMP
# files (app/samples), so that converting never writes into the source tree.
# Without a display it says so and converts the same copy with the rastrix
# command instead.
#
# Usage: tools/run-kaveloconvert.sh [BUILD-DIR]    (default: build/release,
#        configured first with: cmake --preset release)
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "run-kaveloconvert: $build is not a configured build folder (try: cmake --preset release)" >&2
  exit 2
fi
build=$(cd "$build" && pwd)

samples=$build/kavelo-samples
rm -rf "$samples"
mkdir -p "$samples"
cp -R "$repo/app/samples/." "$samples/"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # The control is found through a registry of our own under the build
  # folder, never the user's.
  cmake --build "$build" --target KaveloConvert rast32po_register
  echo "run-kaveloconvert: starting KaveloConvert in $samples"
  XDG_CONFIG_HOME="$build/test-config" RX_KAVELO_START_DIR="$samples" \
    exec "$build/app/KaveloConvert"
fi

echo "run-kaveloconvert: no display (DISPLAY and WAYLAND_DISPLAY are unset);" \
     "converting $samples with rastrix instead"
cmake --build "$build" --target rastrix
"$build/tools/rastrix" convert --to jpg -q 100 "$samples"
ls -l "$samples"
