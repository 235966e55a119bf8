#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, when any is missing.
set -euo pipefail
packages=(qt6-base-dev qt6-charts-dev qt6-qpa-plugins libjpeg-dev libgif-dev
  libcurl4-openssl-dev libsqlite3-dev liblnk-dev libgtest-dev libgmock-dev
  libbenchmark-dev cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  python3-pefile)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
