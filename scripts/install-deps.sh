#!/usr/bin/env bash
# Installs what building and testing the tool needs on Debian 12. Safe to run
# again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build python3 pkg-config
  qt6-base-dev qt6-multimedia-dev libgl-dev
  libgtest-dev googletest
  xvfb xauth fonts-ipafont
  binutils srecord
  dpkg-dev file lintian desktop-file-utils appstream help2man
  mingw-w64 nsis  # scripts/build-windows.sh (Wine comes with scripts/test-windows.sh)
  xdotool  # scripts/test-windows-window.sh drives the window by keys
  clang libclang-rt-14-dev
  libmosquitto-dev mosquitto mosquitto-clients openssl  # --mqtt; its tests run a real broker (TLS too)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
