#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 + AddressSanitizer +
# UndefinedBehaviorSanitizer (build-fuzz/) and runs each for a fixed time or
# number of executions. Exits non-zero when a target finds a fault; the
# input that shows it is left in build-fuzz/findings/<target>/.
#
#   scripts/fuzz.sh                       every target for 20 s (the CI smoke run)
#   scripts/fuzz.sh --time 3600           every target for an hour
#   scripts/fuzz.sh --runs 10000000 fuzz_datagram
#
# Each target starts from its seed corpus in tests/fuzz/corpus/<target> and
# keeps what it learns in build-fuzz/corpus/<target>; the seeds in the
# repository are never written. See tests/fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_deps clang-14 libclang-rt-14-dev

limit=(-max_total_time=20)
targets=()
while [ $# -gt 0 ]; do
    case $1 in
        --time) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) limit=(-runs="$2"); shift 2 ;;
        fuzz_datagram|fuzz_addresstext) targets+=("$1"); shift ;;
        *) echo "usage: scripts/fuzz.sh [--time SECONDS | --runs N] [fuzz_datagram] [fuzz_addresstext]" >&2; exit 2 ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_datagram fuzz_addresstext)

dir=build-fuzz
echo "== fuzz: configure and build (clang 14, address,undefined, libFuzzer)"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_SANITIZE=address,undefined -DQUILLON_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    case $name in
        datagram) max_len=1100 ;;  # the listener hands on at most 1024 bytes; a little more tries the cut
        addresstext) max_len=256 ;;
    esac
    corpus=$dir/corpus/$name
    findings=$dir/findings/$name
    mkdir -p "$corpus" "$findings"
    log=$dir/fuzz-$name.log
    echo "== fuzz: $target ${limit[*]}"
    if ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$dir/tests/$target" "${limit[@]}" -max_len=$max_len \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$name" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "   $target: no finding in $runs executions ($rate per second)"
    else
        status=1
        echo "   $target: FOUND A FAULT; the end of $log:"
        tail -n 40 "$log" | sed 's/^/   | /'
        echo "   The input is in $findings/. Keep it as a regression test by copying it into"
        echo "   tests/fuzz/regressions/$name/ (tst_fuzzcases replays it), then fix the cause."
    fi
done
exit $status
