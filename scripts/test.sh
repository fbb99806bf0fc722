#!/usr/bin/env bash
# Installs what is missing, then:
#  1. builds the project twice, a plain build and one with AddressSanitizer +
#     UndefinedBehaviorSanitizer, and runs every test in both;
#  2. builds the listener and hand-over tests (tst_sockets, tst_discovery,
#     tst_load) with ThreadSanitizer and runs them;
#  3. runs each libFuzzer target for a short fixed time (scripts/fuzz.sh).
# Exits non-zero when anything fails. Run as root on Debian: the tests that
# open sockets run in private network namespaces, which needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps clang-14 libclang-rt-14-dev

jobs=$(nproc)
status=0
started=$SECONDS
for config in release asan tsan; do
    dir=build-$config
    targets=()
    tests=()
    case $config in
        release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
        asan)    flags=(-DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=address,undefined) ;;
        tsan)    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=thread)
                 targets=(--target tst_sockets tst_discovery tst_load)
                 tests=(-R '^(tst_sockets|tst_discovery|tst_load)$') ;;
    esac
    echo "== $config: configure and build"
    cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
    cmake --build "$dir" -j "$jobs" "${targets[@]}"
    echo "== $config: tests"
    # Qt comes from Debian, built without ThreadSanitizer: its own locking is
    # invisible to the sanitizer, so only accesses from the project's code
    # are checked (ignore_noninstrumented_modules). QProcess forks the
    # simulator and the sender from a process that has threads
    # (die_after_fork=0).
    if ! (cd "$dir" && TSAN_OPTIONS="ignore_noninstrumented_modules=1 die_after_fork=0 ${TSAN_OPTIONS:-}" \
            ctest --output-on-failure -j "$jobs" "${tests[@]}"); then
        status=1
    fi
done

echo "== fuzz: smoke run"
if ! bash scripts/fuzz.sh; then
    status=1
fi
echo "== done in $((SECONDS - started)) s"
exit $status
