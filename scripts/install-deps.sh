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
# qemu's i386 user mode runs 32-bit Wine where the kernel runs no 32-bit code
# (scripts/i386-route.sh). Debian 12's own qemu 7.2 now and then kills a thread that Wine
# starts during a network request; 10 from bookworm-backports does not.
backported=qemu-user
backported_since=1:10

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
backport_missing() {
  local version
  version=$(dpkg-query -W -f='${Status} ${Version}' "$backported" 2>/dev/null | sed -n 's/^install ok installed //p')
  [ -z "$version" ] || dpkg --compare-versions "$version" lt "$backported_since"
}
[ ${#missing[@]} -eq 0 ] && ! backport_missing && exit 0

# bookworm-backports from the mirror the main suites come from, pinned so that only what is
# asked for by name comes from it.
main_mirror() {
  local sources=/etc/apt/sources.list.d/debian.sources
  if [ -f "$sources" ]; then
    awk '/^URIs:/ { uri = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm") { print uri; exit } }' "$sources"
  elif [ -f /etc/apt/sources.list ]; then
    awk '$1 == "deb" { for (i = 2; i < NF; i++) if ($i ~ /^https?:/ && $(i + 1) == "bookworm") { print $i; exit } }' /etc/apt/sources.list
  fi
}
if [ ! -f /etc/apt/sources.list.d/bookworm-backports.sources ]; then
  mirror=$(main_mirror)
  cat >/etc/apt/sources.list.d/bookworm-backports.sources <<SOURCES
Types: deb
URIs: ${mirror:-http://deb.debian.org/debian}
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  cat >/etc/apt/preferences.d/bookworm-backports <<'PIN'
Package: *
Pin: release n=bookworm-backports
Pin-Priority: 100
PIN
fi

export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Without recommends: qemu-user-binfmt would register its handlers machine-wide.
! backport_missing || apt-get install -y -qq --no-install-recommends "$backported/bookworm-backports"
