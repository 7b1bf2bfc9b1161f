#!/usr/bin/env bash
# Installs, when missing, every Debian package the project needs to build, test and benchmark.
# Idempotent; silent when everything is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  clang libclang-rt-14-dev
  pxlib-dev gdal-bin
  xvfb xauth fonts-dejavu-core
  openbox xdotool x11-utils x11-apps netpbm
  locales
)

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Tests check that our number texts ignore a C locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
