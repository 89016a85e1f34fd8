#!/bin/sh
# Installs what building and testing Rastrix needs on Debian 12. Quiet and
# idempotent: packages already present are left alone. With --update the
# package lists are refreshed first even when nothing is missing.
set -eu

# Build: compilers (clang and libFuzzer for the fuzz build, llvm for the
# sanitizers' symbolizer), GoogleTest, Qt 6 for the converter.
BUILD="cmake ninja-build g++ clang libfuzzer-14-dev libclang-rt-14-dev llvm libgtest-dev
  qt6-base-dev fonts-ipafont-gothic xvfb xauth"
# Peers the tests check against: programs, Python modules and libraries.
PEERS="libjpeg-turbo-progs python3 python3-pil imagemagick graphicsmagick
  netpbm libtiff-tools libtiff-dev libpng-dev zlib1g-dev"
PACKAGES="$BUILD $PEERS"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done

if [ "${1:-}" = "--update" ] || [ -n "$missing" ]; then
  $SUDO apt-get update -qq
fi
if [ -n "$missing" ]; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
