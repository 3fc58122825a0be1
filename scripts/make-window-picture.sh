#!/bin/sh
# Makes the README's pictures of the windows, each with the window manager's
# frame and title bar:
#   docs/morvak-idle.png     just opened, the demo image chosen
#   docs/morvak-running.png  during a run, the progress bar on its way
#   docs/morvak-success.png  after a successful run
#   docs/morvak-failure.png  after a run the flash programmer ended in an error
#   docs/morvak-station.png  the station window on a bench of four virtual
#                            ports, each tile in a state of its own
# The built morvak runs under a real X server (Xvfb) with a small window
# manager (openbox) on the virtual handset; xdotool presses its buttons and
# ImageMagick's import takes the pictures (identify reads the progress bar).
#
#   scripts/make-window-picture.sh [BUILD_DIR]     (default: build)
#
# BUILD_DIR is configured and built here if need be (targets morvak and
# morvak_demo only).
set -eu

cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}

./scripts/install-deps.sh
for tool in Xvfb openbox xdotool import identify; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-window-picture: $tool is missing; run ./scripts/install-deps.sh as root" >&2
    exit 1
  fi
done

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja
fi
cmake --build "$BUILD_DIR" --target morvak morvak_demo
BIN="$(cd "$BUILD_DIR/bin" && pwd)"

# A copy of the program with its file/ folder and the demo image, in a
# folder whose name reads well in the pictures' status log. Its configuration
# names a run record, whose lines tell this script how each run ended. A
# profile and runtime folder of the script's own: the window opens with the
# demo image remembered in its path field.
WORK=$(mktemp -d /tmp/morvak.XXXXXX)
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
mkdir -p "$WORK/bin" "$WORK/config" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BIN/morvak" "$BIN/demo.img" "$WORK/bin/"
cp -R "$BIN/file" "$WORK/bin/"
sed -i "/^\\[LURRA_PARAMS\\]/a RecordFile=$WORK/record.jsonl" "$WORK/bin/file/LURRA.ini"
grep -q '^RecordFile=' "$WORK/bin/file/LURRA.ini"
printf '[LURRA_lg]\nImageFilePath=%s\n' "$WORK/bin/demo.img" >"$WORK/config/Morvak.ini"

# Polls `$@` every tenth of a second for up to $1 seconds.
wait_for() {
  tenths=$(($1 * 10))
  shift
  while ! "$@"; do
    tenths=$((tenths - 1))
    if [ "$tenths" -le 0 ]; then
      echo "make-window-picture: gave up waiting for: $*" >&2
      exit 1
    fi
    sleep 0.1
  done
}
nonempty() { [ -s "$1" ]; }

# The X server picks a free display and names it on the descriptor given.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
pids="$pids $!"
wait_for 30 nonempty "$WORK/display"
DISPLAY=:$(cat "$WORK/display")
export DISPLAY
# openbox runs its start-up command once it manages windows.
openbox --sm-disable --startup "touch $WORK/wm-ready" >/dev/null 2>&1 &
pids="$pids $!"
wait_for 30 test -e "$WORK/wm-ready"

main_window() {
  WINDOW=$(xdotool search --onlyvisible --pid "$morvak" --name '^Morvak' | head -n 1)
  [ -n "$WINDOW" ]
}

# Opens the window on the virtual handset with the faults given; sets WINDOW.
open_window() {
  XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb \
    "$WORK/bin/morvak" "--virtual-handset=$1" &
  morvak=$!
  pids="$pids $morvak"
  wait_for 60 main_window
  xdotool windowactivate --sync "$WINDOW"
  # The frame is drawn and the first paint is done.
  sleep 1
}

# Clicks "Start flashing": the big button left of the middle, at dialog
# units (22,82)-(280,127) of the 390 by 250 window.
press_start() {
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
  xdotool mousemove --window "$WINDOW" $((WIDTH * 151 / 390)) $((HEIGHT * 104 / 250)) click 1
  # Away from the buttons, so that none is drawn as hovered.
  xdotool mousemove 0 0
}

# Saves the window with its frame as docs/NAME.png.
picture() {
  import -window "$WINDOW" -frame "$WORK/$1.png"
  mkdir -p docs
  cp "$WORK/$1.png" "docs/$1.png"
  echo "wrote docs/$1.png"
}

records_are() { [ -f "$WORK/record.jsonl" ] && [ "$(wc -l <"$WORK/record.jsonl")" -ge "$1" ]; }

# True when the progress bar (dialog units (14,139)-(376,153)) is filled at a
# quarter of its length and empty at three quarters. Exits when the run has
# ended before that was seen.
bar_half_way() {
  if records_are 1; then
    echo "make-window-picture: the run ended before its progress bar was seen on its way" >&2
    exit 1
  fi
  import -window "$WINDOW" "$WORK/client.png"
  y=$((HEIGHT * 146 / 250))
  at_quarter=$(identify -format "%[pixel:p{$((WIDTH * 104 / 390)),$y}]" "$WORK/client.png")
  at_three_quarters=$(identify -format "%[pixel:p{$((WIDTH * 285 / 390)),$y}]" "$WORK/client.png")
  is_white() { [ "$1" = white ] || [ "$1" = "srgb(255,255,255)" ]; }
  ! is_white "$at_quarter" && is_white "$at_three_quarters"
}

# The program's message box over the window; sets BOX.
message_box() {
  for w in $(xdotool search --onlyvisible --pid "$morvak" --name .); do
    # Windows that carry no process id match any --pid.
    if [ "$w" != "$WINDOW" ] && [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$morvak" ]; then
      BOX=$w
      return 0
    fi
  done
  return 1
}

ended() { ! kill -0 "$morvak" 2>/dev/null; }

close_window() {
  xdotool windowactivate --sync "$WINDOW" key Escape
  wait_for 30 ended
}

open_window flash=0
picture morvak-idle
close_window

# The link and the flash programmer at 1 MB/s: the demo image takes a few
# seconds, and the picture is taken with the bar on its way.
open_window flash=1,speed=1
press_start
wait_for 60 bar_half_way
picture morvak-running
wait_for 120 records_are 1
sleep 1
picture morvak-success
close_window

# The flash programmer ends its second command in error 0x1B. Its box is
# answered first: the picture shows the window as the failed run left it.
open_window flash=0,error=0x1B@2
press_start
wait_for 60 message_box
xdotool windowactivate --sync "$BOX" key Return
wait_for 60 records_are 2
sleep 1
picture morvak-failure
close_window

# The station on four virtual ports (a new handset half a second after the
# last one is unplugged): port 1 writes slowly, every unit of port 2 fails at
# its second command, port 3 passes at once, and port 4 has no handset. The
# picture is taken when the tiles show four states at once (their colours:
# flashing, failed, passed, waiting).
station_window() {
  WINDOW=$(xdotool search --onlyvisible --pid "$morvak" --name '^Morvak station' | head -n 1)
  [ -n "$WINDOW" ]
}
four_states() {
  import -window "$WINDOW" -frame "$WORK/morvak-station.png"
  colours=$(convert "$WORK/morvak-station.png" -format %c histogram:info:-)
  for colour in E3F2FD FFCDD2 DCEDC8 ECEFF1; do
    # A tile's background, not a line of a few pixels.
    count=$(printf '%s\n' "$colours" | grep -i "#$colour" | sed 's/^ *\([0-9]*\):.*/\1/' | head -n 1)
    [ "${count:-0}" -gt 5000 ] || return 1
  done
}
XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb \
  "$WORK/bin/morvak" --station \
  "--virtual-handset=count=4,cycle=500,1:speed=1,2:flash=0,2:error=0x1B@2,3:flash=0,4:appear=600000" \
  "$WORK/bin/demo.img" &
morvak=$!
pids="$pids $morvak"
wait_for 60 station_window
xdotool windowactivate --sync "$WINDOW"
sleep 1
# "Start station" has the focus as the window opens.
xdotool key --window "$WINDOW" space
# Port 1 is past its boot and on its way through the image.
sleep 1.5
wait_for 60 four_states
mkdir -p docs
cp "$WORK/morvak-station.png" docs/morvak-station.png
echo "wrote docs/morvak-station.png"
kill "$morvak"
