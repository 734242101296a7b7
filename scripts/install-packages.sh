#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kestrix need, if any
# is missing. Runs apt-get only when something is missing.
set -euo pipefail

# dpkg-dev and file let cpack find the package's run-time dependencies (dpkg-shlibdeps).
# clang and libclang-rt-14-dev (libFuzzer and the sanitizer run-times) build the fuzz targets.
packages=(cmake g++ make ninja-build ccache qt6-base-dev libgtest-dev libgmock-dev xvfb xauth dpkg-dev file clang libclang-rt-14-dev)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
