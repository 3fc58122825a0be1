#!/bin/sh
# Makes docs/morvak.png, the README's picture of the window after a
# successful run: the built morvak runs under a real X server (Xvfb) on the
# virtual handset, flashes the demo image and saves a picture of its window.
#
#   scripts/make-window-picture.sh [BUILD_DIR]     (default: build)
#
# BUILD_DIR is configured and built here if need be (targets morvak and
# morvak_demo only).
set -eu

cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
OUT=docs/morvak.png

./scripts/install-deps.sh
for tool in xvfb-run Xvfb xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-window-picture: $tool is missing; run ./scripts/install-deps.sh as root" >&2
    exit 1
  fi
done

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja
fi
cmake --build "$BUILD_DIR" --target morvak morvak_demo
MORVAK="$BUILD_DIR/bin/morvak"
DEMO="$(cd "$BUILD_DIR/bin" && pwd)/demo.img"

# A profile, runtime folder and picture of this script's own: the window
# opens with the demo image remembered in its path field.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config" "$WORK/runtime"
chmod 700 "$WORK/runtime"
printf '[LURRA_lg]\nImageFilePath=%s\n' "$DEMO" >"$WORK/config/Morvak.ini"

XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb \
  MORVAK_WINDOW_PICTURE="$WORK/morvak.png" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$MORVAK" --virtual-handset

if [ ! -s "$WORK/morvak.png" ]; then
  echo "make-window-picture: the window saved no picture" >&2
  exit 1
fi
mkdir -p docs
cp "$WORK/morvak.png" "$OUT"
echo "wrote $OUT"
