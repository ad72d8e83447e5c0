#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that building, testing, packaging and
# running Ormax 4 need, and only those that are missing. Quiet when all are present.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev libgl-dev libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth
  clang libclang-rt-14-dev
  help2man man-db gzip dpkg-dev file desktop-file-utils lintian
  g++-aarch64-linux-gnu qemu-user googletest
  python3-dev pybind11-dev python3-numpy python3-pytest python3-dask python3-distributed
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
