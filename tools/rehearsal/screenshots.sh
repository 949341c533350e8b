#!/usr/bin/env bash
# Pictures of the console for docs/images: the main window in drag and in lap mode, the
# registration window, the results window of the drag and of the lap event and a bracket page.
#
# Run it after ./test has built everything. It runs the two whole-event rehearsals of the
# end-to-end tests (tests/app/root: a drag event and a lap event, driven through the real
# windows, with tools/nodesim as the timing network) under xvfb-run, inside a private
# network namespace of its own: nothing leaves this machine. VELMARO_SHOTS tells the
# rehearsals where to save their window pictures.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${VELMARO_BUILD:-$root/build}"
bin="$build/tests/app/root/test_app_root"
out="$root/docs/images"
if [ ! -x "$bin" ]; then
  echo "No $bin: run ./test first." >&2
  exit 1
fi
shots="$(mktemp -d)"
trap 'rm -rf "$shots"' EXIT

# The simulator gets a namespace of its own inside this one (tests/fakes/sim_network.h).
inner="ip link set lo up
export VELMARO_NETNS=1 VELMARO_SHOTS='$shots' QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s '-screen 0 1600x1000x24' '$bin' --gtest_filter='DragRehearsalTest.*:LapRehearsalTest.*'"
unshare --net sh -c "$inner"

mkdir -p "$out"
for name in main_window_drag main_window_laps registration results_window results_window_laps bracket; do
  if [ ! -f "$shots/$name.png" ]; then
    echo "missing picture: $name" >&2
    exit 1
  fi
  cp "$shots/$name.png" "$out/$name.png"
  # Keep the pictures small: a palette of 256 colours when a picture is over 200 KB.
  if [ "$(stat -c %s "$out/$name.png")" -gt 200000 ] && command -v convert >/dev/null; then
    convert "$out/$name.png" -colors 256 "PNG8:$out/$name.png"
  fi
  echo "$out/$name.png $(stat -c %s "$out/$name.png") bytes"
done
