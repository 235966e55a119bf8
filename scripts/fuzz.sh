#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given seconds (default
# 20). A crash, leak or failed check stops the script with a non-zero exit;
# the input that did it is left in build-fuzz/crashes/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
jobs=${FUZZ_JOBS:-$(nproc)}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DFW_FUZZ=ON -DFW_BUILD_TESTS=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n '/^set(FW_FUZZ_TARGETS/,/)/p' fuzz/CMakeLists.txt | tr ' ()' '\n\n\n' |
    grep -E 'Fuzz$')
fi
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}" fwmachine

# Seeds: the sample machine's own files, as they stand in resources/machine
# or as a new machine holds them.
rm -rf build-fuzz/seed-machine
build-fuzz/tools/fwmachine create build-fuzz/seed-machine >/dev/null
c=build-fuzz/seed-machine/drives/C
program="$c/Program Files/Fernwick"
declare -A seeds=(
  [RegFileFuzz]=resources/machine/registry.reg
  [MachineConfigFuzz]=resources/machine/machine.ini
  [IniFileFuzz]=resources/machine/machine.ini
  [FileListFuzz]=resources/machine/files.txt
  [FileVersionFuzz]="$program/Fernwick.exe:$c/Program Files/Harbor Tone/TuneBox/TuneBox.exe"
  [CodeListFuzz]="$program/Code"
  [ErrorListFuzz]="$program/errorlist.txt"
)
# The targets make their machines in a scratch folder, in memory where
# /dev/shm is (every file write there is synced), removed at the end.
scratch_root=/dev/shm
if [ ! -d "$scratch_root" ] || [ ! -w "$scratch_root" ]; then scratch_root=${TMPDIR:-/tmp}; fi
scratch=$(mktemp -d "$scratch_root/fw-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p build-fuzz/crashes
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  IFS=: read -r -a files <<<"${seeds[$target]:-}"
  for file in "${files[@]}"; do
    if [ -f "$file" ]; then cp "$file" "$corpus/"; fi
  done
  echo "fuzz: $target for ${seconds}s"
  TMPDIR=$scratch ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="build-fuzz/crashes/$target-" -print_final_stats=0 "$corpus" \
    2>"build-fuzz/$target.log" || { tail -60 "build-fuzz/$target.log"; exit 1; }
  rm -rf "${scratch:?}"/*
done
echo "fuzz: no crash in ${#targets[@]} targets"
