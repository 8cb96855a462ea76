#!/usr/bin/env bash
# Installs the Debian packages ORBANTIS needs to build and test, when any is
# missing. Safe to run again: it does nothing once everything is there.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  qt6-base-dev
  libsqlite3-dev
  nlohmann-json3-dev
  libboost-dev
  chromium
  chromium-driver
  python3-selenium
  curl
  python3-jsonschema
  dbus-daemon
  dbus-bin
  systemd
  python3-dbus
  python3-gi
  clang
  libclang-rt-14-dev
  llvm-14
)
# The Windows build (scripts/build-windows.sh) and its tests under Wine.
if [ "${ORBANTIS_WITH_WINDOWS:-1}" = 1 ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix
    mingw-w64-tools
    libwine-dev
    wine
    wine64
    nsis
    googletest
    # SQLite for the Windows build from Debian's source package
    # (scripts/sqlite-from-debian.sh): apt-get source, dpkg-source, and
    # SQLite's own tools that make the amalgamation.
    dpkg-dev
    debian-archive-keyring
    xz-utils
    tcl8.6
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
