#!/usr/bin/env bash
# Builds the libFuzzer programs in build-fuzz/ (clang, installed from Debian when missing)
# and runs each target for a while, two at a time:
#   scripts/fuzz.sh [seconds per target, default 120] [target...]
# New inputs go to build-fuzz/work/<target>/; a crash is written to
# build-fuzz/crashes/<target>/ - copy it into fuzz/corpus/<target>/ once the reader is fixed,
# so ./test replays it from then on.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-120}"
shift || true
# shellcheck source=scripts/clang_fuzzer.sh
source "$root/scripts/clang_fuzzer.sh"
if ! clang_fuzzer_present; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # libFuzzer's runtime is only recommended by clang: named, so that it comes along.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq clang libclang-rt-dev
fi
build="$root/build-fuzz"
"$root/scripts/fuzz_build.sh" 3
targets=("$@")
if ((${#targets[@]} == 0)); then
  for d in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi
run() {
  local t="$1"
  mkdir -p "$build/work/$t" "$build/crashes/$t"
  "$build/fuzz/fuzz_$t" "$build/work/$t" "$root/fuzz/corpus/$t" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$build/crashes/$t/" -print_final_stats=1 \
    >"$build/work/$t.log" 2>&1 || echo "$t: stopped with a finding, see $build/work/$t.log"
  echo "$t: $(grep -E '^stat::number_of_executed_units' "$build/work/$t.log" | awk '{print $2}') runs in ${seconds}s"
}
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run "${targets[i]}" &
  if ((i + 1 < ${#targets[@]})); then run "${targets[i + 1]}" & fi
  wait
done
