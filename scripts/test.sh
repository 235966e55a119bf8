#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a plain build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer; then runs each
# fuzz target for a short while (FW_FUZZ_SECONDS, default 15; 0 skips).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFW_WERROR=ON
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFW_WERROR=ON -DFW_SANITIZE=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

fuzz_seconds=${FW_FUZZ_SECONDS:-15}
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi
