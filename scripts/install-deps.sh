#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the runtime and the
# test oracles need. Safe to run again: apt skips what is already there.
set -euo pipefail

packages=(
  # toolchain and build
  build-essential cmake ninja-build ccache pkg-config clang clang-format
  libclang-rt-14-dev googletest libgtest-dev libgmock-dev
  # libraries
  qt6-base-dev libsqlite3-dev zlib1g-dev libdeflate-dev libmspack-dev
  libpng-dev libtiff-dev libjpeg62-turbo-dev
  # desktop integration at run time
  xdg-utils
  # oracles for the archive formats
  zip unzip 7zip libarchive-tools cabextract gcab python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
