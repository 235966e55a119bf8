#!/usr/bin/env bash
# Installs what is missing, builds, and starts Fernwick on the default machine
# ($FERNWICK_MACHINE, else ~/.local/share/fernwick/machine).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_BUILD_TESTS=OFF >/dev/null
cmake --build build --target fernwick
exec ./build/app/fernwick "$@"
