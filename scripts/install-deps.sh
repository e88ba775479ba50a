#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
set -euo pipefail

packages=(cmake make g++ binutils pkg-config libgtest-dev libbenchmark-dev libxml2-utils
          libaravis-dev libusb-1.0-0-dev libcli11-dev libpng-dev libtomlplusplus-dev
          libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
          libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core xvfb
          clang libclang-rt-dev)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
