#!/usr/bin/env bash
# Installs every build and test dependency on Debian 12. Safe to run again: it does nothing
# when everything is present. Runs as root (CI and the project's machines have no sudo).
set -euo pipefail

packages=(
  ca-certificates git cmake make ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb xauth xdotool xclip x11-utils imagemagick fonts-noto-cjk
  nlohmann-json3-dev googletest libgtest-dev libbenchmark-dev
  openssl python3 python3-pefile procps psmisc util-linux iproute2 osslsigncode file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
