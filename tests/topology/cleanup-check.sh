#!/usr/bin/env bash
# Checks that topology.sh leaves nothing behind:
#  1. a command that fails: its exit status comes through, and its namespaces
#     and a process it left running in a device namespace are gone;
#  2. a run killed outright (SIGKILL, no trap can run): the next run removes
#     its namespaces and the processes still inside them.
#   cleanup-check.sh PATH/TO/topology.sh
set -uo pipefail
topology=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# gone NAMES_FILE PIDS_FILE: none of the namespaces exists, no process lives
gone() {
    local ns pid
    for ns in $(cat "$1"); do
        ip netns list | awk '{print $1}' | grep -qx "$ns" && fail "namespace $ns is left"
    done
    for pid in $(cat "$2"); do
        running "$pid" && fail "process $pid is still running"
    done
    return 0
}

# running PID: alive and not merely a zombie waiting for its parent to reap it
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

record='echo "$QUILLON_TOPO_NS_PROGRAM $QUILLON_TOPO_NS_A $QUILLON_TOPO_NS_B" > "$0/names"
        ip netns exec "$QUILLON_TOPO_NS_A" sleep 300 & echo $! > "$0/pids"; echo $$ >> "$0/pids"'

# 1. A failing command.
"$topology" sh -c "$record; exit 7" "$work"
status=$?
[ "$status" -eq 7 ] || fail "exit status $status, expected 7"
[ -s "$work/names" ] || fail "the command did not run"
gone "$work/names" "$work/pids"

# 2. Killed outright, then cleaned by the next run.
rm -f "$work/names" "$work/pids"
"$topology" sh -c "$record; sleep 300" "$work" &
script=$!
for _ in $(seq 100); do
    [ -s "$work/pids" ] && [ "$(wc -l < "$work/pids")" -ge 2 ] && break
    sleep 0.1
done
kill -KILL "$script"
wait "$script" 2>/dev/null
# The namespaces must still be there (a run killed outright cannot clean up);
# only a concurrent run of topology.sh may have removed them already.
left=0
for ns in $(cat "$work/names"); do
    ip netns list | awk '{print $1}' | grep -qx "$ns" && left=$((left + 1))
done
[ "$left" -eq 3 ] || echo "note: a concurrent run already removed the killed run's namespaces" >&2
"$topology" true || fail "the next run failed"
gone "$work/names" "$work/pids"

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "topology clean-up: ok"
