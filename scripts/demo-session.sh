#!/usr/bin/env bash
# The demo's inside, run by demo.sh in a fresh network namespace.
# Arguments: BUILD_DIR HEADLESS(0|1) SCREENSHOT_PATH
set -euo pipefail
build=$1 headless=$2 shot=$3
ip link set lo up

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

"$build/tools/devsim/quillon-devsim" &
pids+=($!)
sleep 0.5

if [ "$headless" = 0 ]; then
    "$build/app/quillon"
    exit 0
fi

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x500x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$build/app/quillon" &
pids+=($!)
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name "CORVANE Quillon" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 0.5
# The grid has the focus at start; the next control in the tab order is
# Refresh.
xdotool windowfocus --sync "$window" key Tab key space
sleep 1
import -window "$window" "$shot"
echo "Screenshot saved: $shot"
