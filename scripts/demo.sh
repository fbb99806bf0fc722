#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quillon against simulated
# devices. Run as root on Debian.
#
# Everything runs in a private network namespace with loopback only: the
# simulator plays eight devices on 127.0.1.x and the program finds them by
# its broadcast on the loopback adapter. Nothing reaches a real network.
#
# With a display (DISPLAY or WAYLAND_DISPLAY set) the window opens there;
# closing it stops the simulator. Without one, both run under a virtual X
# display, Refresh is pressed by xdotool, and a screenshot is saved as
# demo.png in the current folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"

headless=1
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then headless=0; fi
if [ $headless = 1 ]; then
    install_deps xvfb xdotool imagemagick fonts-dejavu-core
else
    install_deps
fi

build="$here/build-release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillon quillon-devsim

out=${QUILLON_DEMO_SHOT:-$PWD/demo.png}
exec unshare --net bash "$here/scripts/demo-session.sh" "$build" "$headless" "$out"
