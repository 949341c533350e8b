#!/usr/bin/env bash
# CPU use of the idle node link with four simulated nodes online, inside a private network
# namespace (loopback only), and the hit-to-acknowledgement latency beside a bare UDP echo.
#   scripts/link_idle_cpu.sh [build dir] [seconds per loop, default 30]
set -euo pipefail
build="${1:-$(cd "$(dirname "$0")/.." && pwd)/build}"
seconds="${2:-30}"
total=$((2 * seconds + 5))
exec unshare --net sh -c "ip link set lo up
'$build/tools/nodesim/nodesim' --bind 127.0.0.2 --console 127.0.0.1 --nodes 1,2,4,5 --duration $total >/dev/null 2>&1 &
sim=\$!
export VELMARO_NETNS=1
'$build/bench/bench_link_idle_cpu' $seconds
kill \$sim 2>/dev/null || true
wait \$sim 2>/dev/null || true
'$build/bench/bench_link_latency' --benchmark_repetitions=5 --benchmark_report_aggregates_only=true"
