#!/usr/bin/env bash
# Installs what is missing, builds the project twice (a plain build and one
# with AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in
# both. Run as root on Debian: the tests that open sockets run in private
# network namespaces, which needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps

jobs=$(nproc)
status=0
for config in release asan; do
    dir=build-$config
    case $config in
        release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
        asan)    flags=(-DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=address,undefined) ;;
    esac
    echo "== $config: configure and build"
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
    cmake --build "$dir" -j "$jobs"
    echo "== $config: tests"
    if ! (cd "$dir" && ctest --output-on-failure -j "$jobs"); then
        status=1
    fi
done
exit $status
