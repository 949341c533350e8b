#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing, and configures
# and builds the tree in build/. Sourced by ./run and ./test.
set -euo pipefail

VELMARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VELMARO_BUILD="${VELMARO_BUILD:-$VELMARO_ROOT/build}"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-translations-l10n libgl-dev nlohmann-json3-dev
          libxlsxwriter-dev unzip libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth iproute2 util-linux)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

if [ ! -f "$VELMARO_BUILD/build.ninja" ]; then
  cmake -S "$VELMARO_ROOT" -B "$VELMARO_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$VELMARO_BUILD" -j "$(nproc)"
