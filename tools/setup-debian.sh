#!/bin/sh
# Installs what building and testing Rastrix needs on Debian 12. Quiet and
# idempotent: packages already present are left alone. With --update the
# package lists are refreshed first even when nothing is missing.
set -eu

PACKAGES="cmake ninja-build g++ libgtest-dev libjpeg62-turbo-dev libjpeg-turbo-progs python3 python3-pil imagemagick qt6-base-dev fonts-ipafont-gothic"

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
