#!/bin/sh
# Installs every Debian package that building and testing Morvak needs.
# Idempotent: prints nothing and changes nothing when all are present.
# Not root: prints the apt-get command to run instead and exits 1.
set -eu

PACKAGES="
  cmake g++ ninja-build pkg-config
  libusb-1.0-0-dev nettle-dev
  umockdev libumockdev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-wqy-microhei
  xvfb xauth openbox xdotool imagemagick
  binutils-source bison flex xz-utils
  clang libclang-rt-14-dev
  dpkg-dev file desktop-file-utils appstream debootstrap
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Morvak needs these Debian packages:$missing" >&2
  echo "Install them with:  sudo apt-get update && sudo apt-get install -y$missing" >&2
  exit 1
fi

echo "installing:$missing" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
