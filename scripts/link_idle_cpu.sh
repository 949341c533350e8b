#!/usr/bin/env bash
# CPU use of the idle node link with four simulated nodes online, inside a private network
# namespace, and the hit-to-acknowledgement latency beside a bare UDP echo.
#   scripts/link_idle_cpu.sh [build dir] [seconds per loop, default 30]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
seconds="${2:-30}"
total=$((2 * seconds + 5))
# The simulator sits in a namespace of its own joined by a veth pair: the link owns the
# node port alone, as on a real network the gateway is another machine.
exec unshare --net sh -c "ip link set lo up
unshare --net sleep $((total + 5)) &
holder=\$!
sleep 0.2
ns=/proc/\$holder/ns/net
ip link add vc0 type veth peer name vs0 netns \$ns
ip addr add 10.214.0.1/24 dev vc0
ip link set vc0 up
nsenter --net=\$ns sh -c 'ip link set lo up; ip addr add 10.214.0.2/24 dev vs0; ip link set vs0 up'
'$build/tools/nodesim/nodesim' --netns \$ns --bind 10.214.0.2 --console 10.214.0.1 --nodes 1,2,4,5 --duration $total >/dev/null 2>&1 &
sim=\$!
export VELMARO_NETNS=1
'$build/bench/bench_link_idle_cpu' $seconds
kill \$sim \$holder 2>/dev/null || true
wait \$sim 2>/dev/null || true
'$build/bench/bench_link_latency' --benchmark_repetitions=5 --benchmark_report_aggregates_only=true"
