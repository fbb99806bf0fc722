#!/usr/bin/env bash
# Builds a private multi-adapter network, runs one command in it, tears it down.
#
#   tests/topology/topology.sh COMMAND [ARGUMENTS...]
#
# Needs root (ip netns). Every run makes its own three network namespaces,
# named with this script's process id and a random part, so runs can overlap;
# nothing is created in the caller's namespace and no address outside the
# documentation ranges is used, so nothing the command sends can leave them:
#
#     program namespace                       device namespaces
#     ------------------------------          -------------------------------
#     lo     127.0.0.1/8
#     seg-a  192.0.2.1/24      <-- veth -->  dev-a 192.0.2.2/24     (ns A)
#            02:00:5e:00:53:01                     02:00:5e:00:53:a1
#     seg-b  198.51.100.1/24   <-- veth -->  dev-b 198.51.100.2/24  (ns B)
#            02:00:5e:00:53:02                     02:00:5e:00:53:b1
#
# The program namespace has no default route: 203.0.113.0/24 (or any address
# off the two segments) is unreachable from it. In each device namespace the
# upper quarter of its segment (192.0.2.64/26, 198.51.100.64/26) is routed
# locally, so simulated devices given addresses there answer ARP and receive
# unicast requests as real devices on the segment would.
#
# COMMAND runs in the program namespace (ip netns exec) with these variables
# set, and the script exits with its exit status:
#
#     QUILLON_TOPO_NS_PROGRAM  QUILLON_TOPO_NS_A  QUILLON_TOPO_NS_B
#         the namespace names (for "ip netns exec NAME ..." to start a
#         simulator on a segment; DevsimProcess::SetNetworkNamespace does it)
#     QUILLON_TOPO_{A,B}_LOCAL         192.0.2.1 / 198.51.100.1, program side
#     QUILLON_TOPO_{A,B}_LOCAL_MAC     02:00:5e:00:53:01 / 02:00:5e:00:53:02
#     QUILLON_TOPO_{A,B}_DEVICE_SIDE   192.0.2.2 / 198.51.100.2 (for --bind)
#     QUILLON_TOPO_{A,B}_DEVICE_RANGE  192.0.2.64/26 / 198.51.100.64/26
#
# Example, a simulator on segment B and the program in the program namespace:
#
#     tests/topology/topology.sh sh -c '
#         ip netns exec "$QUILLON_TOPO_NS_B" quillon-devsim \
#             --bind "$QUILLON_TOPO_B_DEVICE_SIDE" --first-ip 198.51.100.65 &
#         QT_QPA_PLATFORM=offscreen quillon'
#
# Clean-up always runs (EXIT, INT, TERM, HUP): every process still inside
# the three namespaces is ended by its id, then the namespaces are deleted,
# which removes the veth pairs. A run that was killed outright (SIGKILL, as
# on a test time-out) cannot clean up; the next run removes the namespaces of
# runs whose script is no longer alive.
set -euo pipefail

if [ $# -eq 0 ]; then
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "topology.sh: needs root (ip netns)" >&2
    exit 2
fi

prefix=qtopo
id="$$-$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')"
ns_program="$prefix-$id-p"
ns_a="$prefix-$id-a"
ns_b="$prefix-$id-b"

remove_namespace() {
    local ns=$1 pid
    for pid in $(ip netns pids "$ns" 2>/dev/null); do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        [ -z "$(ip netns pids "$ns" 2>/dev/null)" ] && break
        sleep 0.1
    done
    for pid in $(ip netns pids "$ns" 2>/dev/null); do
        kill -KILL "$pid" 2>/dev/null || true
    done
    ip netns delete "$ns" 2>/dev/null || true
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    for ns in "$ns_a" "$ns_b" "$ns_program"; do
        remove_namespace "$ns"
    done
    exit "$status"
}

# Leftovers of runs that were killed outright: their script's pid is gone.
for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep "^$prefix-" || true); do
    owner=${ns#"$prefix-"}
    owner=${owner%%-*}
    if [ -n "$owner" ] && ! kill -0 "$owner" 2>/dev/null; then
        remove_namespace "$ns"
    fi
done

trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

for ns in "$ns_program" "$ns_a" "$ns_b"; do
    ip netns add "$ns"
    ip -n "$ns" link set lo up
done

# segment NAME PROGRAM_ADDRESS PROGRAM_MAC DEVICE_NS DEVICE_ADDRESS DEVICE_MAC DEVICE_RANGE
segment() {
    local name=$1 local_address=$2 local_mac=$3 device_ns=$4 device_address=$5 device_mac=$6 range=$7
    # Both ends are created inside the namespaces, never in the caller's.
    ip -n "$ns_program" link add "seg-$name" address "$local_mac" type veth \
        peer name "dev-$name" netns "$device_ns" address "$device_mac"
    ip -n "$ns_program" addr add "$local_address/24" dev "seg-$name"
    ip -n "$device_ns" addr add "$device_address/24" dev "dev-$name"
    ip -n "$ns_program" link set "seg-$name" up
    ip -n "$device_ns" link set "dev-$name" up
    ip -n "$device_ns" route add local "$range" dev lo
}
segment a 192.0.2.1 02:00:5e:00:53:01 "$ns_a" 192.0.2.2 02:00:5e:00:53:a1 192.0.2.64/26
segment b 198.51.100.1 02:00:5e:00:53:02 "$ns_b" 198.51.100.2 02:00:5e:00:53:b1 198.51.100.64/26

# Wait until both ends are up (veth carrier), so the first send cannot race it.
for _ in $(seq 50); do
    if ip -n "$ns_program" -o link show up | grep -q "seg-a.*LOWER_UP" &&
       ip -n "$ns_program" -o link show up | grep -q "seg-b.*LOWER_UP"; then
        break
    fi
    sleep 0.1
done

export QUILLON_TOPO_NS_PROGRAM="$ns_program" QUILLON_TOPO_NS_A="$ns_a" QUILLON_TOPO_NS_B="$ns_b"
export QUILLON_TOPO_A_LOCAL=192.0.2.1 QUILLON_TOPO_B_LOCAL=198.51.100.1
export QUILLON_TOPO_A_LOCAL_MAC=02:00:5e:00:53:01 QUILLON_TOPO_B_LOCAL_MAC=02:00:5e:00:53:02
export QUILLON_TOPO_A_DEVICE_SIDE=192.0.2.2 QUILLON_TOPO_B_DEVICE_SIDE=198.51.100.2
export QUILLON_TOPO_A_DEVICE_RANGE=192.0.2.64/26 QUILLON_TOPO_B_DEVICE_RANGE=198.51.100.64/26

# Not exec: the trap must outlive the command. In the background, so that a
# signal to this script runs the clean-up at once (standard input is kept).
ip netns exec "$ns_program" "$@" <&0 &
child=$!
set +e
wait "$child"
status=$?
set -e
exit "$status"
