#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when it is missing.
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config qt6-base-dev qt6-svg-dev libzip-dev googletest libgtest-dev
          libgmock-dev libdeflate-dev libssl-dev libarchive-tools ccache zip unzip p7zip-full python3 xvfb xauth xdg-utils clang-format
          man-db groff-base systemd cron libsystemd-dev dbus-daemon tzdata
          libsecret-1-dev gnome-keyring unicode-data)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
