#!/usr/bin/env bash
# Builds the benchmarks in release (build-bench/) and runs each one inside a
# private network namespace of its own, with loopback only, then prints
# their tables with the machine they ran on. Run as root on Debian: the
# namespaces and the forced receive buffer need it.
#
#   scripts/bench.sh            every benchmark, the usual number of repeats
#   scripts/bench.sh --quick    fewer repeats (a quick look, not for figures)
#
# Nothing is sent anywhere but to 127.0.0.1 inside those namespaces; every
# benchmark program refuses to run where another interface exists.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps

repeats_burst=3 repeats_drain=5 repeats_startup=15
if [ "${1:-}" = "--quick" ]; then
    repeats_burst=1 repeats_drain=2 repeats_startup=5
fi

dir=build-bench
echo "== building the benchmarks (release) in $dir" >&2
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j "$(nproc)" --target benchmarks >&2

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime"
in_namespace() { tests/netns-run.sh "$@"; }

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo "## Quillon benchmarks"
echo
echo "| | |"
echo "|---|---|"
echo "| date | $(date -u '+%Y-%m-%d %H:%M UTC') |"
echo "| commit | $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' (with local changes)') |"
echo "| machine | $cpu, $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo) |"
echo "| system | $(. /etc/os-release && echo "$PRETTY_NAME"), Linux $(uname -r) |"
echo "| build | $(c++ --version | head -1), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6), Release |"
echo "| load before the run | $(cut -d' ' -f1-3 /proc/loadavg) |"
echo "| command | scripts/bench.sh $* |"

status=0
in_namespace "$dir/bench/bench_burst" --repeats "$repeats_burst" || status=1
in_namespace "$dir/bench/bench_drain" --repeats "$repeats_drain" || status=1
in_namespace "$dir/bench/bench_startup" --repeats "$repeats_startup" || status=1
in_namespace "$dir/bench/bench_flood" || status=1
if [ $status -ne 0 ]; then
    echo
    echo "At least one benchmark did not finish; see the messages above." >&2
fi
exit $status
