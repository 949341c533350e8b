#!/usr/bin/env bash
# Builds the libFuzzer programs in build-fuzz/ (clang, libFuzzer, AddressSanitizer and
# UBSan; only the core and fuzz/), configuring the folder the first time:
#   scripts/fuzz_build.sh [jobs]
# scripts/fuzz.sh runs them; ./test builds them whenever clang and libFuzzer are here, so
# code that clang no longer compiles shows at once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMARO_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j "${1:-3}"
