#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang-format libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  ntfs-3g ntfs-3g-dev sleuthkit
  wine wine64 libwine fonts-wine xvfb xdotool xclip imagemagick fonts-wqy-microhei qrencode zbar-tools locales python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
