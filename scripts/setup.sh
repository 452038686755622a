#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  pybind11-dev python3-pybind11 python3-dev python3-pytest
  python3-dask python3-distributed
  qtbase5-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lib2geom-dev libboost-dev
  fonts-dejavu-core
  python3 openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
